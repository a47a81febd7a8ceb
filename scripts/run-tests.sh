#!/usr/bin/env bash
# Runs the tests of the named builds through ctest; the Windows ones under Wine
# in a private X server. Exits non-zero if any test fails.
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
for preset in "$@"; do
  echo "== tests: $preset"
  if [[ $preset == win32 ]]; then
    prefix=$PWD/build/win32/wineprefix
    # A wineserver left from the build (test discovery) has no display: end
    # it. Then one wineserver, started persistent before any test, serves the
    # whole run (a server that is about to end drops the tests that reach it
    # in its last moment); it, and only it, is ended after.
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
      scripts/wine-run.sh '$prefix' cmd /c exit >/dev/null 2>&1  # makes the prefix if missing
      WINEPREFIX='$prefix' wineserver -w
      WINEPREFIX='$prefix' wineserver -p
      ctest --preset win32 -j 2
      rc=\$?
      WINEPREFIX='$prefix' wineserver -k
      exit \$rc" || status=1
  else
    ctest --preset "$preset" -j 2 || status=1
  fi
done
exit $status
