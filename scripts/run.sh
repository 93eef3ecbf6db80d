#!/bin/bash
# Builds the Windows program and starts it under Wine.
#
# Which build: the i686 program, the one that ships for Windows 2000 to 11,
# wherever 32-bit Wine runs, natively or under qemu-i386 (scripts/wine-host.sh
# asks the host; on the qemu road the script runs again in a namespace of its
# own); the x86-64 build of the same sources under 64-bit Wine only where
# neither works.  QUELVANE_64BIT_ONLY=1 takes the x86-64 road, and
# QUELVANE_32BIT_QEMU=1 the qemu road, on any host.  The script says which
# program it started and why.
#
# With a display ($DISPLAY set) the program runs there until you close it.
# Without one it runs on a virtual display (Xvfb): each window it shows is
# saved as a screenshot under the build tree, the paths are printed, and the
# program is ended.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-prefix.sh || exit 2
# In the qemu road's namespace, the first run has installed everything.
QuelvaneInQemuNamespace || scripts/install-deps.sh

root=${QUELVANE_BUILD_ROOT:-build}
if QuelvaneHostRuns32Bit; then
    preset=windows arch=win32 flavour="i686 program" wine=$QUELVANE_32BIT_WINE
    why="the program that ships for Windows 2000 to 11 ($QUELVANE_32BIT_WHY)"
    QuelvaneExec32Bit scripts/run.sh "$@"
else
    preset=windows-x64 arch=win64 flavour="x86-64 build" wine="64-bit Wine"
    why="not the i686 program, because $QUELVANE_HOST_32BIT_REASON"
fi
build="$root/$preset"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j2 --target quelvane2

exe="$(realpath "$build/app/Quelvane 2.exe")"
QuelvaneUseWine "$arch"
# A prefix of its own that stays, so that what a save stored is there at the
# next start.  The program is made for Windows 2000/XP: the prefix says XP.
export WINEPREFIX="$(realpath "$build")/run-prefix" WINEDEBUG=-all
QuelvaneMakePrefix "$WINEPREFIX" winxp

echo "Starting the $flavour of Quelvane 2 ($exe) with $wine: $why."
if [[ -n ${DISPLAY:-} ]]; then
    QuelvaneStartServer
    # The wineserver writes the prefix's registry as it ends, and on the qemu
    # road it ends with this script: wait for it.
    status=0
    "$WINELOADER" "$exe" || status=$?
    "$WINESERVER" -w
    exit "$status"
fi

shots="$(realpath "$build")/screenshots"
mkdir -p "$shots"
QuelvaneStartXvfb
trap '"$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true; QuelvaneStopXvfb' EXIT
started=$(date +%s.%N)
QuelvaneStartServer
"$WINELOADER" "$exe" &
PROGRAM_PID=$!

# The first window shown is the login dialog when a password is stored, else
# the main window.
title="$(QuelvaneWaitForWindow "Quelvane 2 - Login" "Quelvane 2")" || { echo "The program showed no window" >&2; exit 1; }
elapsed="$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
printf 'Window "%s" shown %.1f s after the start\n' "$title" "$elapsed"
case "$title" in
    "Quelvane 2 - Login") file="$shots/login.png" ;;
    *) file="$shots/main.png" ;;
esac
QuelvaneCaptureWindow "$title" "$file"
echo "Screenshot of \"$title\": $file"
if [[ $title == "Quelvane 2 - Login" ]]; then
    echo "A password is stored: the login dialog waits for it; the program is ended here."
fi
