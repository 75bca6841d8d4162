#!/usr/bin/env bash
# Installs the Debian packages the build needs. Idempotent: packages already
# present are skipped, so a second run costs about a second.
#   setup.sh native   compilers and libraries for the native linux-x64 build
#   setup.sh all      everything the four configurations and the checks need
set -euo pipefail

mode="${1:-all}"

native=(build-essential cmake ninja-build dpkg-dev pkg-config libyaml-dev libgtest-dev libgmock-dev
        rapidjson-dev libbenchmark-dev locales)
all_extra=(g++-multilib qemu-user g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64
           clang-14 libclang-rt-14-dev clang-format ccache libfmt-dev nlohmann-json3-dev
           libmsgpack-dev libyaml-cpp-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 pydoctor)
i386=(libyaml-dev:i386 libgtest-dev:i386 libgmock-dev:i386 libyaml-0-2:i386)

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

packages=("${native[@]}")
if [ "$mode" = all ]; then
  packages+=("${all_extra[@]}" "${i386[@]}")
fi

# With both architectures installed a bare name is ambiguous for dpkg-query;
# name the native architecture explicitly.
native_arch="$(dpkg --print-architecture)"
missing=()
for p in "${packages[@]}"; do
  q="$p"
  [[ "$q" == *:* ]] || q="$q:$native_arch"
  status="$(dpkg-query -W -f='${Status}' "$q" 2>/dev/null || dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ "$mode" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
  need_update=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  if [ "${#missing[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
      --no-install-recommends --no-upgrade "${missing[@]}" >/dev/null
  fi
fi

# The tests prove rendering and number reading locale-free under a locale whose
# decimal separator is a comma; Debian generates none by default.
comma_locale="de_DE.UTF-8"
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "setup: generating the $comma_locale locale"
  if grep -q "^# *$comma_locale UTF-8" /etc/locale.gen 2>/dev/null; then
    "${sudo[@]}" sed -i "s/^# *\($comma_locale UTF-8\)/\1/" /etc/locale.gen
  elif ! grep -q "^$comma_locale UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "$comma_locale UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >/dev/null
fi

# Windows builds make yaml.dll from Debian's libyaml source.
if [ "$mode" = all ]; then
  src_dir="${NORV_DEPS_DIR:-$HOME/.cache/vek-norv}/libyaml-src"
  if [ ! -f "$src_dir/CMakeLists.txt" ]; then
    work="$(mktemp -d)"
    # A deb-src twin of the machine's own Debian entry, used once and removed.
    list=/etc/apt/sources.list.d/vek-norv-deb-src.sources
    debian_entry="$(grep -l -E '^URIs: .*/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)"
    if [ -n "$debian_entry" ]; then
      awk 'BEGIN{RS="";ORS="\n\n"} /URIs: [^ ]*\/debian\/?(\n|$)/ {sub(/Types: deb/,"Types: deb-src"); print}' \
        "$debian_entry" | "${sudo[@]}" tee "$list" >/dev/null
    else
      grep -E '^deb [^ ]+/debian ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        "${sudo[@]}" tee "$list" >/dev/null
    fi
    "${sudo[@]}" apt-get update -qq -o Dir::Etc::sourcelist="$list" -o Dir::Etc::sourceparts=- \
      -o APT::Get::List-Cleanup=0
    (cd "$work" && apt-get source -qq libyaml >/dev/null 2>&1)
    "${sudo[@]}" rm -f "$list"
    mkdir -p "$(dirname "$src_dir")"
    rm -rf "$src_dir"
    mv "$(find "$work" -maxdepth 1 -type d -name 'libyaml-*' | head -n1)" "$src_dir"
    rm -rf "$work"
  fi
fi
