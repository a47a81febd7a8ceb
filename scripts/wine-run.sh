#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
#
# The prefix is private to the build, the ANSI code page is 936 (Wine reads it
# from LC_ALL only), and Wine's own chatter is off. Wine's helper processes
# inherit the output streams and would hold a caller that reads them through a
# pipe (ctest) for seconds, so the output goes through temporary files.
set -u
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=${VANTOREL_LC_ALL:-zh_CN.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  # The first start creates the prefix; let one caller do it.
  flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1; wineserver -w'
fi

out=$(mktemp)
err=$(mktemp)
wine "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
