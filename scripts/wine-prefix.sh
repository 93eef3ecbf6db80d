# Sourced, never run: the one way the scripts make a Wine prefix, start a
# private virtual display and capture a window.  The test runner
# (cmake/wine-test.sh), scripts/run.sh and scripts/screenshot-form1.sh share it.
#
#   source scripts/wine-prefix.sh || exit 2      # sources scripts/wine-host.sh too
#   QuelvaneUseWine win32 || exit 1               # WINELOADER, WINESERVER for that prefix
#   QuelvaneMakePrefix DIR [VERSION] || exit 1    # once: locked, tried twice
#   QuelvaneStartXvfb [WxHxD] || exit 1           # DISPLAY of a private Xvfb, QUELVANE_XVFB_PID
#   QuelvaneWaitForWindow "Quelvane 2 - Login" "Quelvane 2"   # prints the title that appeared
#   QuelvaneCaptureWindow "Quelvane 2" FILE.png   # waits for the window, saves its client area
#   QuelvaneStopXvfb
#
# A prefix made here has Wine's crash dialog off (a crashing program then ends
# with exit code 5 instead of waiting behind the dialog) and Wine's own fonts.

source "$(dirname "${BASH_SOURCE[0]}")/wine-host.sh" || return 2

# Wine would otherwise offer to download Mono and Gecko while it makes a prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

QuelvaneLog() { echo "${QUELVANE_LOG_NAME:-$(basename "$0")}: $*" >&2; }

# The loader starts whichever wineserver Debian's wrapper names (the 64-bit one
# once wine64 is installed) unless one already serves the prefix: start the
# one of the prefix's architecture first.  Needs WINEPREFIX.
QuelvaneStartServer() {
    mkdir -p "$WINEPREFIX" && "$WINESERVER" >/dev/null 2>&1 ||
        { QuelvaneLog "could not start $WINESERVER for $WINEPREFIX"; return 1; }
}

# reg add ARGUMENTS... /f in WINEPREFIX, tried three times a second apart: on
# a busy machine one has been seen to fail once.  What reg said the last time
# goes to the log.  Through a file, not a pipe, which a service that the call
# starts would hold open.
QuelvaneRegAdd() {
    local said attempt
    said=$(mktemp) || return 1
    for attempt in 1 2 3; do
        if "$WINELOADER" reg add "$@" /f >"$said" 2>&1 </dev/null; then
            rm -f "$said"
            return 0
        fi
        sleep 1
    done
    QuelvaneLog "reg add $* failed three times: $(tr -d '\r' <"$said" | tail -n 3)"
    rm -f "$said"
    return 1
}

# Makes the prefix DIR for the architecture of QuelvaneUseWine, unless it is
# ready already; VERSION (winxp, win2k, ...) is the Windows version it reports.
# Under a lock, so that parallel callers wait for one another and then find it
# ready.  A first wineboot on a busy machine has been seen to fail once and work
# the next time: a second attempt starts from nothing again.
QuelvaneMakePrefix() {
    local prefix="$1" version="${2:-}" fresh="$1.new" attempt
    mkdir -p "$(dirname "$prefix")" || return 1
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.quelvane-ready" ]; then
        QuelvaneLog "making the $WINEARCH Wine prefix $prefix (once)"
        for attempt in 1 2; do
            rm -rf "$fresh" "$prefix"
            (
                export WINEPREFIX="$fresh"
                QuelvaneStartServer || exit 1
                "$WINELOADER" wineboot -i >/dev/null 2>&1 || { QuelvaneLog "wineboot failed (attempt $attempt)"; exit 1; }
                "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
                    >/dev/null 2>&1 || { QuelvaneLog "turning the crash dialog off failed (attempt $attempt)"; exit 1; }
                if [ -n "$version" ]; then
                    "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 ||
                        { QuelvaneLog "setting the Windows version failed (attempt $attempt)"; exit 1; }
                fi
                QuelvaneCopyWineFonts "$fresh" || { QuelvaneLog "copying Wine's fonts failed (attempt $attempt)"; exit 1; }
                # The wineserver writes the registry files only when it ends.
                "$WINESERVER" -w
            ) && touch "$fresh/.quelvane-ready" && mv "$fresh" "$prefix" && break
            WINEPREFIX="$fresh" "$WINESERVER" -k >/dev/null 2>&1
        done
    fi
    flock -u 9
    exec 9>&-
    [ -f "$prefix/.quelvane-ready" ] || { QuelvaneLog "could not make the $WINEARCH Wine prefix $prefix"; return 1; }
}

# Starts a private Xvfb (1024x768x24 unless given another screen, 96 dpi) and
# exports its DISPLAY; QUELVANE_XVFB_PID is its process.  -displayfd picks a free display number and
# writes it once the server accepts clients, so parallel callers never race for
# a number.
QuelvaneStartXvfb() {
    local displayFile
    displayFile="$(mktemp "${TMPDIR:-/tmp}/quelvane-display.XXXXXX")" || return 1
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -dpi 96 -nolisten tcp 3>"$displayFile" </dev/null >/dev/null 2>&1 &
    QUELVANE_XVFB_PID=$!
    for _ in $(seq 200); do
        [ -s "$displayFile" ] && break
        kill -0 "$QUELVANE_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    if [ ! -s "$displayFile" ]; then
        QuelvaneLog "Xvfb did not start"
        rm -f "$displayFile"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$displayFile")"
    rm -f "$displayFile"
}

QuelvaneStopXvfb() {
    [ -n "${QUELVANE_XVFB_PID:-}" ] || return 0
    kill "$QUELVANE_XVFB_PID" 2>/dev/null
    wait "$QUELVANE_XVFB_PID" 2>/dev/null
    QUELVANE_XVFB_PID=""
}

# Waits up to 30 s for a visible top-level window with exactly one of these
# titles on $DISPLAY and prints the title found; fails when none appears or
# when the process PROGRAM_PID (if set) ends first.
QuelvaneWaitForWindow() {
    local title
    for _ in $(seq 300); do
        for title in "$@"; do
            if xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; then
                echo "$title"
                return 0
            fi
        done
        if [ -n "${PROGRAM_PID:-}" ] && ! kill -0 "$PROGRAM_PID" 2>/dev/null; then break; fi
        sleep 0.1
    done
    QuelvaneLog "no window titled \"$1\" appeared"
    return 1
}

# Waits for the window of exactly this title, then SETTLE seconds (default 1)
# for it to paint, and saves its client area as FILE; SCREEN, when given, gets
# the whole screen.  Without a window manager Wine draws no title bar, and the
# X window is exactly the Win32 client area.
QuelvaneCaptureWindow() {
    local title="$1" file="$2" screen="${3:-}" settle="${4:-1}" window WIDTH HEIGHT X Y
    QuelvaneWaitForWindow "$title" >/dev/null || return 1
    sleep "$settle"
    window="$(xdotool search --onlyvisible --name "^$title\$" | head -n1)"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    /usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$file" || return 1
    [ -z "$screen" ] || /usr/bin/import -window root "$screen"
}
