#!/usr/bin/env bash
# Makes the release bundle from the windows-x86 build: the stripped DLL and
# yaml.dll, their debug information in separate files the binaries link to,
# the C header, the licence notices of what is linked in, a README for host
# vendors and SHA256SUMS, zipped with fixed times and order.
#   scripts/release.sh [build-folder]   (default build/windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows-x86}
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=vek-norv-messaging-service-$version-win32
out=build/release/$name
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows-x86 -B "$build" >/dev/null
cmake --build "$build" --target norv_plugin libyaml_dll -j2 >/dev/null

rm -rf "$out" "$out.zip"
mkdir -p "$out/symbols" "$out/include" "$out/licenses"
for bin in "$build/plugin/hxp-be-vek-norv-messaging-service.dll" "$build/libyaml/yaml.dll"; do
  base=$(basename "$bin" .dll)
  i686-w64-mingw32-objcopy --only-keep-debug "$bin" "$out/symbols/$base.debug"
  # The link names the debug file and carries its checksum, so a crash dump can be symbolised later.
  (cd "$out/symbols" && i686-w64-mingw32-objcopy --strip-debug --strip-unneeded \
    --add-gnu-debuglink="$base.debug" "$OLDPWD/$bin" "../$base.dll")
done
cp include/*.h "$out/include/"
cp docs/host-vendor-readme.md "$out/README.md"
cp /usr/share/doc/libyaml-dev/copyright "$out/licenses/libyaml.txt"
cp /usr/share/doc/rapidjson-dev/copyright "$out/licenses/rapidjson.txt"
cp /usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright "$out/licenses/mingw-gcc-runtime.txt"
cp /usr/share/doc/mingw-w64-i686-dev/copyright "$out/licenses/mingw-w64-runtime.txt"
(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
find "$out" -exec env TZ=UTC touch -h -d '1980-01-01 12:00:00' {} +
(cd build/release && find "$name" | LC_ALL=C sort | TZ=UTC zip -qX -@ "$name.zip")
echo "$out.zip"
