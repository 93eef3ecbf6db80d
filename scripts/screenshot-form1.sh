#!/bin/bash
# Takes screenshots of the main window as Wine draws it on a virtual display.
#
#   scripts/screenshot-form1.sh BUILD_DIR [--docs]
#
# BUILD_DIR is a Windows build tree (cmake --preset windows or windows-x64 -B BUILD_DIR).  The
# script builds the preview program there (tests/windows/ui/form1_preview.cpp:
# Form1 over an in-memory registry, Windows XP as the version), shows it on a
# private Xvfb screen (1024x768, 96 DPI) through cmake/wine-test.sh and saves
#   BUILD_DIR/screenshots/form1.png        the freshly shown window
#   BUILD_DIR/screenshots/form1-saved.png  the same after a completed save (100%)
#   BUILD_DIR/screenshots/form1-screen.png the whole virtual screen of the first shot
# and with --docs also docs/main-window.png, the README's picture (the window
# after a save).  Without a window manager Wine draws no title bar: each
# picture shows the client area, 313 x 425 pixels.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || ( $# -eq 2 && $2 != --docs ) ]]; then
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
fi
build="$(realpath "$1")"
source="$(realpath "$(dirname "$0")/..")"
out="$build/screenshots"
source "$source/scripts/wine-host.sh" || exit 2
arch="$(QuelvaneBuildWineArch "$build")" || exit 2
mkdir -p "$out"

cmake --build "$build" -j2 --target ui_form1_preview >/dev/null
exe="$build/tests/windows/ui/ui_form1_preview.exe"

# One shot: start the preview, wait until its window is on the screen and
# painted, capture it, let the preview end by itself.
Shoot() {
    local scenario="$1" wait="$2" file="$3" screen="${4:-}"
    "$source/cmake/wine-test.sh" --arch "$arch" --state "$build/wine" --display xvfb --timeout 60 -- bash -c '
        source "$1/scripts/wine-prefix.sh" || exit 2
        "$WINELOADER" "$2" $(($4 + 4)) "$3" &
        PROGRAM_PID=$!
        QuelvaneCaptureWindow "Quelvane 2" "$5" "$6" "$4" && wait "$PROGRAM_PID"
    ' shoot "$source" "$exe" "$scenario" "$wait" "$file" "$screen"
}

Shoot fresh 1 "$out/form1.png" "$out/form1-screen.png"
Shoot saved 4 "$out/form1-saved.png"
echo "$out/form1.png"
echo "$out/form1-saved.png"
echo "$out/form1-screen.png"
if [[ ${2:-} == --docs ]]; then
    cp "$out/form1-saved.png" "$source/docs/main-window.png"
    echo "$source/docs/main-window.png"
fi
