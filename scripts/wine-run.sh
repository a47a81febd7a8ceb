#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh win32|win64 PREFIX PROGRAM [ARGS...]
#
# win32 runs through Debian's wine script (the 32-bit loader, which hands
# 64-bit programs on to the 64-bit one); win64 runs the 64-bit loader directly,
# so it works on hosts that cannot execute 32-bit code at all (the script would
# pick the 32-bit loader whenever wine32 is installed). The prefix is private
# to the build, the ANSI code page is 936 (Wine reads it from LC_ALL only), and
# Wine's own chatter is off. Wine's helper processes inherit the output streams
# and would hold a caller that reads them through a pipe (ctest) for seconds,
# so the output goes through temporary files.
set -u
arch=$1
prefix=$2
shift 2
case $arch in
  win32) wine=wine ;;
  win64) wine=/usr/lib/wine/wine64
         export WINELOADER=$wine WINEARCH=win64 ;;
  *) echo "wine-run: the first argument is win32 or win64, not '$arch'" >&2; exit 2 ;;
esac
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=${VANTOREL_LC_ALL:-zh_CN.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  # The first start creates the prefix; let one caller do it.
  flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot -i >/dev/null 2>&1
                              wineserver -w' wine-run "$wine"
fi

out=$(mktemp)
err=$(mktemp)
"$wine" "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
