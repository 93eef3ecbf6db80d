#!/bin/bash
# Builds the Windows program and starts it under Wine.
#
# Which build: the i686 program (the one for Windows 2000 and XP) where the
# host runs 32-bit code, otherwise the x86-64 build of the same sources under
# 64-bit Wine (scripts/wine-host.sh asks the host; QUELVANE_64BIT_ONLY=1 takes
# the x86-64 road on any host).  The script says which one it started and why.
#
# With a display ($DISPLAY set) the program runs there until you close it.
# Without one it runs on a virtual display (Xvfb): each window it shows is
# saved as a screenshot under the build tree, the paths are printed, and the
# program is ended.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-host.sh || exit 2
scripts/install-deps.sh

root=${QUELVANE_BUILD_ROOT:-build}
if QuelvaneHostRuns32Bit; then
    preset=windows arch=win32 flavour="i686 program"
    why="this host runs 32-bit code, so it runs the program made for Windows 2000 and XP"
else
    preset=windows-x64 arch=win64 flavour="x86-64 build"
    why="not the i686 program, because $QUELVANE_HOST_32BIT_REASON"
fi
build="$root/$preset"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j2 --target quelvane2

exe="$(realpath "$build/app/Quelvane 2.exe")"
QuelvaneUseWine "$arch"
export WINEPREFIX="$(realpath "$build")/run-prefix"
export WINEDEBUG=-all
if [[ ! -f $WINEPREFIX/.quelvane-ready ]]; then
    echo "Making the $arch Wine prefix $WINEPREFIX (once)"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # The loader would start the wineserver that Debian's wrapper picks: start
    # the one of this architecture first.
    "$WINESERVER" >/dev/null 2>&1
    # No offer to download Mono and Gecko while the prefix is made.
    if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" wineboot -i >"$WINEPREFIX.log" 2>&1; then
        echo "Could not make the Wine prefix with $WINELOADER; its output is in $WINEPREFIX.log" >&2
        "$WINESERVER" -k 2>/dev/null || true
        exit 1
    fi
    # The program is made for Windows 2000/XP: let Wine say XP.
    "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null
    "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    QuelvaneCopyWineFonts "$WINEPREFIX"
    "$WINESERVER" -w
    touch "$WINEPREFIX/.quelvane-ready"
    rm -f "$WINEPREFIX.log"
fi

echo "Starting the $flavour of Quelvane 2 ($exe): $why."
if [[ -n ${DISPLAY:-} ]]; then
    "$WINESERVER" >/dev/null 2>&1 || true  # one that already serves this prefix is as good
    exec "$WINELOADER" "$exe"
fi

shots="$(realpath "$build")/screenshots"
mkdir -p "$shots"
# Xvfb picks a free display number and writes it once it accepts clients.
displayFile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$displayFile" </dev/null >/dev/null 2>&1 &
xvfb=$!
trap '"$WINESERVER" -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$displayFile"' EXIT
for _ in $(seq 100); do [[ -s $displayFile ]] && break; sleep 0.1; done
[[ -s $displayFile ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayFile")"

started=$(date +%s.%N)
"$WINESERVER" >/dev/null 2>&1 || true  # one that already serves this prefix is as good
"$WINELOADER" "$exe" &
program=$!

# The first window shown is the login dialog when a password is stored, else
# the main window.  Waits up to 30 s; prints the title found.
first_window() {
    for _ in $(seq 300); do
        for title in "Quelvane 2 - Login" "Quelvane 2"; do
            if xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; then
                echo "$title"
                return 0
            fi
        done
        kill -0 $program 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

if ! title="$(first_window)"; then
    echo "The program showed no window" >&2
    exit 1
fi
elapsed="$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
printf 'Window "%s" shown %.1f s after the start\n' "$title" "$elapsed"
sleep 1  # let it paint
case "$title" in
    "Quelvane 2 - Login") file="$shots/login.png" ;;
    *) file="$shots/main.png" ;;
esac
# Without a window manager the X window is exactly the Win32 client area.
window="$(xdotool search --onlyvisible --name "^$title\$" | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$window")"
/usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$file"
echo "Screenshot of \"$title\": $file"
if [[ $title == "Quelvane 2 - Login" ]]; then
    echo "A password is stored: the login dialog waits for it; the program is ended here."
fi
