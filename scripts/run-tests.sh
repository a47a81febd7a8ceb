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
    # it. Keep one wineserver for the whole run, end it (and only it) after.
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
      scripts/wine-run.sh '$prefix' cmd /c exit >/dev/null 2>&1
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
