#!/usr/bin/env bash
# Opens Vantorel under Wine with the Simplified-Chinese code page (936).
#
# With a display ($DISPLAY set) the window opens there. Without one, it opens
# in a private X server, a short sample is typed into the upper box, and a
# screenshot of the window is saved to build/screenshot.png (or to
# $VANTOREL_SCREENSHOT: `make screenshot` saves docs/screenshot.png).
#
# It runs the 32-bit program (build/win32) where the host runs 32-bit code,
# else the 64-bit one (build/win64), and says which; VANTOREL_BUILD=win32 or
# win64 chooses. Needs that build first (`make run` builds both).
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${VANTOREL_BUILD:-$(scripts/windows-builds.sh | cut -d' ' -f1)}
build=build/$arch
exe=$build/Vantorel.exe
typist=$build/tools/vantorel_typist.exe
prefix=$PWD/build/wineprefix-run-$arch
screenshot=${VANTOREL_SCREENSHOT:-build/screenshot.png}

if [[ ! -f $exe ]]; then
  echo "run-window: $exe is missing; build it with: make $arch" >&2
  exit 1
fi
echo "run-window: opening the $arch program, $exe" >&2

# Wine's own fonts (fonts-wine: Marlett draws the caption buttons, Tahoma is
# the dialog font) are not found where the package puts them; they are linked
# into the prefix's font folder, which Wine reads.
mkdir -p "$prefix/drive_c/windows/Fonts"
for font in /usr/share/wine/fonts/*.ttf; do
  [[ -f $font ]] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
done

if [[ -n ${DISPLAY:-} ]]; then
  scripts/wine-run.sh "$arch" "$prefix" "$exe"
  exit
fi

if [[ ! -f $typist ]]; then
  echo "run-window: $typist is missing; build it with: make $arch" >&2
  exit 1
fi

# No display: a private X server; Wine draws its own desktop there, with the
# window's caption bar and icon.
xvfb-run -a -s "-screen 0 800x700x24" bash -c '
  set -u
  arch=$1 prefix=$2 exe=$3 typist=$4 screenshot=$5
  desktop="explorer /desktop=Vantorel,800x700"
  export WINEPREFIX=$prefix
  # One Wine session for all three programs, up before the first starts.
  scripts/wine-run.sh "$arch" "$prefix" cmd /c exit >/dev/null 2>&1
  wineserver -p
  scripts/wine-run.sh "$arch" "$prefix" $desktop "$exe" &
  program=$!
  # The program makes the desktop; the typist joins it and waits for the window.
  sleep 3
  if ! timeout 90 scripts/wine-run.sh "$arch" "$prefix" $desktop "$typist" type; then
    echo "run-window: the window did not open" >&2
    wineserver -k
    exit 1
  fi
  sleep 2
  # The whole desktop, cut down to the window on it.
  import -window root "$screenshot" && convert "$screenshot" -trim +repage "$screenshot"
  timeout 30 scripts/wine-run.sh "$arch" "$prefix" $desktop "$typist" close
  wait $program
  rc=$?
  wineserver -k
  exit $rc
' run-window "$arch" "$prefix" "$exe" "$typist" "$screenshot"
echo "run-window: no display, so the window ran in Xvfb with a sample typed in;" \
  "screenshot saved to $screenshot"
