#!/usr/bin/env bash
# Makes the release files from built Windows programs: dist.sh BUILD...
# (win32, win64) writes build/dist/Vantorel-<version>-BUILD.zip, each holding
# Vantorel.exe, the command-line tool vantorel-cli.exe, README.txt and LICENSE.
#
# The same commit gives byte-identical zip files: the entries are always in the
# same order, with the same permissions, dated the commit's time (in UTC; a
# fixed date outside a git checkout), without zip's extra fields (-X: no owner,
# no other time stamps) and without folder entries (-D).
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^#define VANTOREL_VERSION_TEXT "\(.*\)"$/\1/p' resources/version.h)
date=$(TZ=UTC git log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || echo 200001010000.00)
mkdir -p build/dist
for build in "$@"; do
  for exe in build/$build/Vantorel.exe build/$build/vantorel-cli.exe; do
    if [[ ! -f $exe ]]; then
      echo "dist: $exe is missing; build it with: make $build" >&2
      exit 1
    fi
  done
  stage=$(mktemp -d)
  cp build/$build/Vantorel.exe build/$build/vantorel-cli.exe "$stage"
  cp resources/release-readme.txt "$stage/README.txt"
  cp LICENSE "$stage/LICENSE"
  chmod 0644 "$stage"/*
  TZ=UTC touch -t "$date" "$stage"/*
  zip=$PWD/build/dist/Vantorel-$version-$build.zip
  rm -f "$zip"
  (cd "$stage" && TZ=UTC zip -q -X -D -9 "$zip" Vantorel.exe vantorel-cli.exe README.txt LICENSE)
  rm -rf "$stage"
  echo "dist: $zip"
done
