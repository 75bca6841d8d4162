#!/usr/bin/env bash
# Builds and runs the benchmarks (linux-x64) and prints each one's time against
# its peers: benchmarks are named BM_<Case>/<Who>, "Norv" being ours.
#   scripts/bench.sh [benchmark-binary...]   e.g. format_bench
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh all
cmake --preset linux-x64 >/dev/null
cmake --build --preset linux-x64
bins=("$@")
if [ ${#bins[@]} -eq 0 ]; then
  for f in bench/*_bench.cc; do bins+=("$(basename "$f" .cc)"); done
fi
for b in "${bins[@]}"; do
  echo "=== $b"
  build/linux-x64/bench/"$b" --benchmark_format=json --benchmark_min_time=0.2 >"build/linux-x64/bench/$b.json"
  python3 scripts/bench_ratios.py "build/linux-x64/bench/$b.json"
done
