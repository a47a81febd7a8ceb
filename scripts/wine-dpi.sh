#!/bin/sh
# Sets the screen DPI of a Wine prefix, creating the prefix if need be:
#   wine-dpi.sh win32|win64 PREFIX DPI
#
# Wine takes the DPI from LogPixels under HKCU "Control Panel\Desktop" and,
# where that is missing, from the hardware profile's fonts key in HKLM; both are
# set. Ends with the prefix's wineserver gone, so the settings are on disk and
# the next program starts a session that reads them.
set -u
arch=$1
prefix=$2
dpi=$3
here=$(dirname "$0")

# A wineserver of this prefix left from an earlier run may have no display.
WINEPREFIX=$prefix wineserver -k 2>/dev/null

set_dpi() {
  "$here/wine-run.sh" "$arch" "$prefix" reg add "$1" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
}

set_dpi 'HKCU\Control Panel\Desktop' &&
  set_dpi 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'
rc=$?
WINEPREFIX=$prefix timeout 60 wineserver -w
if [ $rc -ne 0 ]; then
  echo "wine-dpi: could not set LogPixels to $dpi in $prefix" >&2
  exit 1
fi
hex=$(printf '%08x' "$dpi")
if ! grep -q "\"LogPixels\"=dword:$hex" "$prefix/user.reg"; then
  echo "wine-dpi: LogPixels $dpi is not in $prefix/user.reg" >&2
  exit 1
fi
echo "wine-dpi: $prefix is at $dpi DPI"
