#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and generates the
# locales the tests run Wine under, when missing. Runs apt-get and localedef
# as root, else through sudo, else names what to do.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 zip
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-wqy-microhei locales
)

# Wine takes the ANSI code page from LC_ALL: zh_CN for 936 (every Windows
# test), ja_JP for 932 and en_US for 1252 (Form1 under other code pages). It
# converts a program's command line and other Unix text from that locale too,
# which must therefore exist on the host.
locales=(zh_CN ja_JP en_US)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$p")
done
have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
missing_locales=()
for l in "${locales[@]}"; do
  grep -qx "${l,,}.utf-\?8" <<<"$have" || missing_locales+=("$l")
done
[[ ${#missing[@]} -eq 0 && ${#missing_locales[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  [[ ${#missing[@]} -eq 0 ]] || echo "install-deps: missing Debian packages: ${missing[*]}" >&2
  [[ ${#missing[@]} -eq 0 ]] ||
    echo "install-deps: install them as root (with i386 enabled: dpkg --add-architecture i386)" >&2
  for l in "${missing_locales[@]}"; do
    echo "install-deps: missing locale $l.UTF-8; generate it as root: localedef -i $l -f UTF-8 $l.UTF-8" >&2
  done
  exit 1
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -q
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for l in "${missing_locales[@]}"; do
  echo "install-deps: generating the locale $l.UTF-8" >&2
  "${as_root[@]}" localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
