#!/usr/bin/env bash
# Runs every libFuzzer target of the linux-x64-asan build for a few seconds on
# its seed corpus (seeds are read, never written: new inputs go to a temp dir).
#   scripts/fuzz.sh [seconds-per-target] [target...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-8}"; shift || true
dir=build/linux-x64-asan/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzzer.cc; do [ -e "$f" ] && targets+=("$(basename "$f" .cc)"); done
fi
failed=0
for t in "${targets[@]}"; do
  work=$(mktemp -d)
  seeds="fuzz/corpus/$t"; [ -d "$seeds" ] || seeds=""
  if "$dir/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$work/" "$work" $seeds >"$work/log" 2>&1; then
    echo "$t: $(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -oE '[0-9]+$') runs, no finding"
  else
    echo "$t: FAILED"; tail -40 "$work/log"; failed=1
  fi
  rm -rf "$work"
done
exit $failed
