#!/bin/bash
# Builds the Windows program and starts it under Wine.
#
# With a display ($DISPLAY set) the program runs there until you close it.
# Without one it runs on a virtual display (Xvfb): each window it shows is
# saved as a screenshot under the build tree, the paths are printed, and the
# program is ended.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

root=${QUELVANE_BUILD_ROOT:-build}
build="$root/windows"
cmake --preset windows -B "$build" -DQUELVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quelvane2

exe="$(realpath "$build/app/Quelvane 2.exe")"
export WINEPREFIX="$(realpath "$build")/run-prefix"
export WINEARCH=win32 WINEDEBUG=-all
if [[ ! -d $WINEPREFIX ]]; then
    echo "Making the Wine prefix $WINEPREFIX (once)"
    wineboot -i >/dev/null 2>&1
    # The program is made for Windows 2000/Me/XP: let Wine say XP.
    wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    wineserver -w
fi

if [[ -n ${DISPLAY:-} ]]; then
    exec wine "$exe"
fi

shots="$(realpath "$build")/screenshots"
mkdir -p "$shots"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
sleep 1

wine "$exe" &
program=$!

# Waits up to 20 s for a top-level window with exactly this title.
wait_for() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 && return 0
        kill -0 $program 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

shot() {
    sleep 0.5  # let the window paint
    /usr/bin/import -display "$display" -window root "$shots/$1.png"
    echo "Screenshot of '$2': $shots/$1.png"
}

if wait_for "Quelvane 2 - Login" >/dev/null; then
    shot login "Quelvane 2 - Login"
    echo "A password is stored: the login dialog waits for it; ending the program."
elif wait_for "Quelvane 2" >/dev/null; then
    shot main "Quelvane 2"
else
    echo "The program showed no window" >&2
    exit 1
fi
