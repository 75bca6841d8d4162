#!/usr/bin/env bash
# Compiles the boundary header with its layout assertions under the rules a
# host built with the platform's own compiler follows: the Microsoft x86 ABI
# (alignment of 8-byte members, packing), as C and as C++. Needs no Windows SDK.
set -euo pipefail
cd "$(dirname "$0")/.."
clang="${NORV_CLANG:-clang-14}"
status=0
for lang in c c++; do
  if echo '#include <norv_plugin.h>' |
    "$clang" --target=i686-pc-windows-msvc -ffreestanding -fsyntax-only -Wall -Werror -I include -x "$lang" -; then
    echo "norv_plugin.h: layout holds for i686-pc-windows-msvc as $lang"
  else
    status=1
  fi
done
exit $status
