#!/usr/bin/env bash
# Runs the tests of the named builds through ctest; the Windows ones (win32,
# win64) under Wine in a private X server, each where the host can run it
# (scripts/windows-builds.sh says which: win64 always). Exits non-zero if any
# test fails.
set -uo pipefail
cd "$(dirname "$0")/.."

runnable=" $(scripts/windows-builds.sh) "
status=0
ran=() skipped=()
for preset in "$@"; do
  if [[ $preset != win32 && $preset != win64 ]]; then
    echo "== tests: $preset"
    ctest --preset "$preset" -j 2 || status=1
    ran+=("$preset")
    continue
  fi
  if [[ $runnable != *" $preset "* ]]; then
    echo "== tests: $preset skipped: this host cannot run its programs (32-bit x86 code)"
    skipped+=("$preset")
    continue
  fi
  echo "== tests: $preset, under Wine"
  prefix=$PWD/build/$preset/wineprefix
  # A wineserver left from an earlier run has no display: end it. Then one
  # wineserver, started persistent before any test, serves the whole run (a
  # server that is about to end drops the tests that reach it in its last
  # moment); it, and only it, is ended after.
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
    scripts/wine-run.sh $preset '$prefix' cmd /c exit >/dev/null 2>&1  # makes the prefix if missing
    WINEPREFIX='$prefix' wineserver -w
    WINEPREFIX='$prefix' wineserver -p
    ctest --preset $preset -j 2
    rc=\$?
    WINEPREFIX='$prefix' wineserver -k
    exit \$rc" || status=1
  ran+=("$preset")
done
echo "== tests ran for: ${ran[*]:-none}${skipped:+; skipped: ${skipped[*]} (this host runs 64-bit code only)}"
exit $status
