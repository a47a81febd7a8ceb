#!/usr/bin/env bash
# Measures Form1's latencies under Wine (code page 936) in a private X server:
# typing at the end of the upper box and pasting Chinese text, from the message
# to the lower box holding the new hex text. Prints one table.
#
#   bench/window_latency.sh [BUILD_DIR] [-- window_latency options]
#
# BUILD_DIR is a Windows build (build/win32 or build/win64; by default the
# first that the host can run, scripts/windows-builds.sh); this script
# builds nothing. Options: --keys N (keystrokes per size, default 50),
# --budget SECONDS (time per size before it stops typing, default 20),
# --quick (the small sizes only).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/$(scripts/windows-builds.sh | cut -d' ' -f1)
if [[ $# -gt 0 && $1 != -- ]]; then
  build=$1
  shift
fi
[[ ${1:-} == -- ]] && shift
program=$build/bench/window/window_latency.exe
if [[ ! -f $program ]]; then
  echo "window_latency: $program is missing; build it with: make $(basename "$build")" >&2
  exit 1
fi
prefix=$PWD/$build/wineprefix-latency

arch=$(basename "$build")

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  arch=$1 prefix=$2
  shift 2
  scripts/wine-run.sh "$arch" "$prefix" "$@"
  rc=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  exit $rc
' latency "$arch" "$prefix" "$program" "$@"
