#!/usr/bin/env bash
# Builds the shipping binaries a second time in other folders and fails unless
# they match the first build byte for byte; reads the DLL's version back too.
#   scripts/check_release.sh [preset...]   windows-x86 and/or linux-x64 (default both)
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x86 linux-x64)
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

for preset in "${presets[@]}"; do
  if [ "$preset" = windows-x86 ]; then
    files=(plugin/hxp-be-vek-norv-messaging-service.dll libyaml/yaml.dll)
    targets=(norv_plugin libyaml_dll)
  else
    files=(plugin/hxp-be-vek-norv-messaging-service.so)
    targets=(norv_plugin)
  fi
  for dir in "build/$preset" "build/repro-$preset"; do
    [ -f "$dir/CMakeCache.txt" ] || cmake --preset "$preset" -B "$dir" >/dev/null
    cmake --build "$dir" --target "${targets[@]}" -j2 >/dev/null
  done
  for f in "${files[@]}"; do
    a=$(sha256sum <"build/$preset/$f" | cut -d' ' -f1)
    b=$(sha256sum <"build/repro-$preset/$f" | cut -d' ' -f1)
    [ "$a" = "$b" ] || { echo "$preset: $f differs between two builds ($a, $b)" >&2; exit 1; }
    echo "$preset: $(basename "$f") reproducible, sha256 $a"
  done
  if [ "$preset" = windows-x86 ]; then
    dll="build/$preset/${files[0]}"
    for key in FileVersion ProductVersion; do
      got=$(strings -el "$dll" | grep -A1 -x "$key" | sed -n 2p)
      [ "$got" = "$version" ] || { echo "$dll: $key is '$got', expected $version" >&2; exit 1; }
    done
    echo "$preset: version resource $version"
    zip=$(bash scripts/release.sh "build/$preset")
    listing=$(unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort | tr '\n' ' ')
    expected="README.md SHA256SUMS hxp-be-vek-norv-messaging-service.dll include/norv_plugin.h licenses/libyaml.txt \
licenses/mingw-gcc-runtime.txt licenses/mingw-w64-runtime.txt licenses/rapidjson.txt \
symbols/hxp-be-vek-norv-messaging-service.debug symbols/yaml.debug yaml.dll "
    [ "$listing" = "$expected" ] || { echo "$zip holds: $listing" >&2; exit 1; }
    (cd "${zip%.zip}" && sha256sum -c --quiet SHA256SUMS)
    strings -el "${zip%.zip}/hxp-be-vek-norv-messaging-service.dll" | grep -x "$version" >/dev/null
    echo "$preset: bundle $(basename "$zip") listing and sums checked"
  fi
done
sim=build/linux-x64/tools/host-sim/host_sim
if [ -x "$sim" ]; then
  [ "$("$sim" --version)" = "host_sim $version" ] || { echo "$sim --version does not say $version" >&2; exit 1; }
  echo "host_sim --version: $version"
fi

# The runtime as an installed package: the demo plugin's folder configured on
# its own against it, out of this tree, and the result loaded by host_sim.
for preset in "${presets[@]}"; do
  prefix=$PWD/build/prefix-$preset
  out=$(mktemp -d)
  cmake --build "build/$preset" --target norv_runtime host_sim -j2 >/dev/null
  rm -rf "$prefix"
  cmake --install "build/$preset" --prefix "$prefix" >/dev/null
  if [ "$preset" = windows-x86 ]; then
    # The toolchain confines package search to the MinGW root, so name the package folder.
    cmake -S tools/demo-plugin -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-i686.cmake" -DNorvRuntime_DIR="$prefix/lib/cmake/NorvRuntime" >/dev/null
    cmake --build "$out" -j2 >/dev/null
    # This machine's wine64 cannot run a 32-bit module, so read its exports and imports instead.
    dump=$(i686-w64-mingw32-objdump -p "$out/hxp-be-norv-demo.dll")
    [ "$(grep -cE '^\s*\[ *[0-9]+\] [A-Za-z_]' <<<"$dump")" = 1 ] && grep -q '\] load_' <<<"$dump" || { echo "demo DLL exports wrong" >&2; exit 1; }
    [ "$(grep 'DLL Name' <<<"$dump" | tr -d ' \t' | tr '\n' ' ')" = "DLLName:ADVAPI32.dll DLLName:KERNEL32.dll DLLName:msvcrt.dll " ] ||
      { echo "demo DLL imports more than system DLLs" >&2; exit 1; }
    rm -rf "$out"
    echo "$preset: demo plugin built out of tree against the installed NorvRuntime, one export, system imports"
    continue
  fi
  cmake -S tools/demo-plugin -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$out" -j2 >/dev/null
  # grep reads to the end: with -q it would stop at the match and the writer's
  # SIGPIPE would fail the pipeline now and then.
  "$prefix/bin/host_sim" "$out/hxp-be-norv-demo.so" --api | grep '^\[api\] 5 functions' >/dev/null
  "$prefix/bin/host_sim" "$out/hxp-be-norv-demo.so" --call GET '/demo/v1/add/40?b=2' | grep 'function *: Add' >/dev/null
  rm -rf "$out"
  echo "$preset: demo plugin built out of tree against the installed NorvRuntime, loaded by host_sim"
done
