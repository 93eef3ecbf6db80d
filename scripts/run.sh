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
cmake --preset windows -B "$build" >/dev/null
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
# Xvfb picks a free display number and writes it once it accepts clients.
displayFile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$displayFile" </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$displayFile"' EXIT
for _ in $(seq 100); do [[ -s $displayFile ]] && break; sleep 0.1; done
[[ -s $displayFile ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayFile")"

started=$(date +%s.%N)
wine "$exe" &
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
printf 'Window "%s" shown %.1f s after the start\n' "$title" "$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
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
