#!/usr/bin/env bash
# The README's second command: installs everything, builds the six
# configurations, runs every test (natively, under ThreadSanitizer, under
# qemu-i386 and under wine), runs each fuzzer briefly under ASan+UBSan, feeds
# the epytext help through a real epytext parser and checks the formatting.
#   scripts/test.sh [preset...]   limit the run to some configurations
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh all || exit 1
# Let ccache share objects between clones in different folders.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux-x64 linux-x64-asan linux-x64-tsan linux-x86 windows-x86 windows-x64)
started=$SECONDS
failed=0
summary=()
total_passed=0
total_failed=0

count_cases() {  # sums GoogleTest's own counts from a CTest log
  local log="$1" what="$2"
  grep -hoE "^\[  $what  \] [0-9]+ tests?" "$log" 2>/dev/null | awk '{s += $4} END {print s + 0}'
}

# One line of what the preset's module carries, as its build's check read it.
add_hardening_line() {
  local carried="build/$1/hardening.txt"
  [ -f "$carried" ] && summary+=("$1 $(cat "$carried")")
}

for preset in "${presets[@]}"; do
  echo "=== $preset"
  t0=$SECONDS
  mkdir -p build
  if ! cmake --preset "$preset" >"build/configure-$preset.log" 2>&1; then
    cat "build/configure-$preset.log"; failed=1; summary+=("$preset: configure FAILED"); continue
  fi
  rm -f "build/configure-$preset.log"
  if ! cmake --build --preset "$preset"; then
    failed=1; summary+=("$preset: build FAILED"); continue
  fi
  if [ "$preset" = windows-x86 ]; then
    summary+=("$preset: built, export and hardening checked ($((SECONDS - t0)) s)")
    add_hardening_line "$preset"; continue
  fi
  ctest --preset "$preset" -j2 --timeout 900 || failed=1
  log="build/$preset/Testing/Temporary/LastTest.log"
  p=$(count_cases "$log" PASSED); f=$(count_cases "$log" FAILED)
  total_passed=$((total_passed + p)); total_failed=$((total_failed + f))
  summary+=("$preset: $p test cases passed, $f failed ($((SECONDS - t0)) s)")
  add_hardening_line "$preset"
done

for preset in "${presets[@]}"; do
  if [ "$preset" = linux-x64 ]; then
    echo "=== epytext help through pydoctor's parser"
    sim=build/linux-x64/tools/host-sim
    if epytext=$(/usr/bin/python3 scripts/check_epytext.py "$sim/host_sim" "$sim/hxp-be-norv-demo.so" \
      "$sim/hxp-be-vek-norv-messaging-service.so"); then
      echo "$epytext"; summary+=("$(head -1 <<<"$epytext")")
    else
      echo "$epytext"; failed=1; summary+=("epytext check: FAILED")
    fi
  fi
  if [ "$preset" = linux-x64-asan ]; then
    echo "=== fuzzers (ASan+UBSan)"
    bash scripts/fuzz.sh "${NORV_FUZZ_SECONDS:-8}" || { failed=1; summary+=("fuzzers: FAILED"); }
  fi
done

release_presets=()
for preset in "${presets[@]}"; do
  case $preset in windows-x86 | linux-x64) release_presets+=("$preset") ;; esac
done
if [ ${#release_presets[@]} -gt 0 ]; then
  echo "=== reproducible shipping binaries"
  t0=$SECONDS
  if bash scripts/check_release.sh "${release_presets[@]}" 2>&1; then
    summary+=("reproducibility: ${release_presets[*]} rebuilt identically ($((SECONDS - t0)) s)")
  else
    failed=1; summary+=("reproducibility: FAILED")
  fi
fi

echo "=== boundary header under the Microsoft x86 ABI"
bash scripts/check_header_abi.sh || { failed=1; summary+=("header ABI check: FAILED"); }

echo "=== clang-format"
if command -v clang-format >/dev/null; then
  unformatted=$(git ls-files '*.h' '*.cc' | xargs clang-format --dry-run 2>&1 | grep -oE '^[^ :]+\.(h|cc):[0-9]+:' | cut -d: -f1 | sort -u)
  if [ -n "$unformatted" ]; then
    echo "not formatted with .clang-format:"; echo "$unformatted"; failed=1; summary+=("clang-format: FAILED")
  fi
fi

# The tests may not grow back past this share of the code.
share=$(python3 scripts/test_share.py --limit 36) || { failed=1; }
summary+=("$share")

echo "=== summary ($((SECONDS - started)) s)"
printf '%s\n' "${summary[@]}"
[ $failed -eq 0 ] || total_failed=$((total_failed > 0 ? total_failed : 1))
echo "tests: $total_passed passed, $total_failed failed"
exit $failed
