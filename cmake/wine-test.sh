#!/bin/bash
# Runs a Windows test program under Wine in a private, throw-away prefix.
#
#   wine-test.sh [OPTIONS] [--] PROGRAM [ARGUMENTS...]
#
# PROGRAM ending in .exe starts with the Wine loader of the prefix's
# architecture.  Anything else (a shell script, a command line) runs as it is
# with WINEPREFIX and WINELOADER exported, so it can start several Wine programs
# in the same prefix, e.g. a driver program next to the app:
#   wine-test.sh --display xvfb -- sh -c '"$WINELOADER" driver.exe "$0"' app.exe
# (never plain `wine`: Debian's wrapper picks the 32-bit loader whenever it is
# installed, whatever the prefix and whether or not the host can run it).
#
# The CMake toolchains (cmake/mingw-common.cmake) make this the emulator of
# every Windows target, with the build's architecture, so
# `add_test(NAME t COMMAND some_target)` runs under Wine and the options below
# are set per test through its ENVIRONMENT property:
#   set_tests_properties(t PROPERTIES ENVIRONMENT "QUELVANE_WINE_DISPLAY=xvfb;QUELVANE_WINE_VERSION=winxp")
#
# Options (a flag wins over its environment variable):
#   --arch ARCH         QUELVANE_WINE_ARCH     win32 (default: 32-bit Wine, for the i686 build) or
#                                              win64 (64-bit Wine, for the x86-64 build); a host that
#                                              runs no 32-bit code (scripts/wine-host.sh) refuses win32
#   --state DIR         QUELVANE_WINE_STATE    where the template prefix and the per-run copies live
#                                              (the toolchain passes BUILD/wine; default /tmp/quelvane-wine-UID)
#   --display MODE      QUELVANE_WINE_DISPLAY  none (default: no X display, DISPLAY unset),
#                                              xvfb (a private Xvfb 1024x768x24 at 96 dpi; DISPLAY set),
#                                              null (Wine's null graphics driver: windows exist, nothing is drawn),
#                                              host (keep the caller's DISPLAY, to watch a test)
#   --windows-version V QUELVANE_WINE_VERSION  the Windows version the prefix reports: winxp, win2k, win7, ...
#   --dpi N             QUELVANE_WINE_DPI      the screen resolution that programs see (96 unless set), e.g. 144
#   --timeout SECONDS   QUELVANE_WINE_TIMEOUT  end the program after this long (exit code 124); 0 = never
#   --wmi-stand-in DLL  QUELVANE_WINE_WMI_STAND_IN  serve WMI from this build of the stand-in for Windows'
#                                              service (tests/windows/wmi_stand_in) instead of Wine's own:
#                                              the prefix names it the server of CLSID_WbemLocator
#   --keep              QUELVANE_WINE_KEEP=1   keep the prefix copy after the run (its path goes to stderr)
#
# The program sees WINEPREFIX, WINEARCH, WINELOADER and WINESERVER (the loader
# and the wineserver of that architecture), WINEDEBUG=-all (unless the caller
# set WINEDEBUG), DISPLAY as chosen above, and QUELVANE_WINE_PREFIX (same as
# WINEPREFIX).  The prefix has Wine's own fonts in its Fonts folder.  The exit
# code is the program's own (Wine passes its low byte); a crash is 5, as the
# template turns Wine's crash dialog off.
#
# Timing: the template (wineboot, about 6 s for win32, 7-14 s for win64) is made
# once per state directory and architecture, under a lock, so `ctest -j2` is
# safe; each run then costs a copy (about 1 s), the first Wine start (about
# 0.5 s) and the end of its wineserver (under 1 s).
set -u

# The probe of this host and the names of its Wine loaders and wineservers.
source "$(dirname "$(readlink -f "$0")")/../scripts/wine-host.sh" || exit 2

arch="${QUELVANE_WINE_ARCH:-win32}"
state="${QUELVANE_WINE_STATE:-${TMPDIR:-/tmp}/quelvane-wine-$(id -u)}"
display="${QUELVANE_WINE_DISPLAY:-none}"
windowsVersion="${QUELVANE_WINE_VERSION:-}"
dpi="${QUELVANE_WINE_DPI:-}"
timeoutSeconds="${QUELVANE_WINE_TIMEOUT:-0}"
keep="${QUELVANE_WINE_KEEP:-0}"
wmiStandIn="${QUELVANE_WINE_WMI_STAND_IN:-}"

usage() {
    sed -n '2,/^set -u$/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case "$1" in
        --arch) arch="$2"; shift 2 ;;
        --state) state="$2"; shift 2 ;;
        --display) display="$2"; shift 2 ;;
        --windows-version) windowsVersion="$2"; shift 2 ;;
        --dpi) dpi="$2"; shift 2 ;;
        --timeout) timeoutSeconds="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        --wmi-stand-in) wmiStandIn="$2"; shift 2 ;;
        --help|-h) usage ;;
        --) shift; break ;;
        -*) echo "wine-test.sh: unknown option $1" >&2; usage ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || usage
case "$display" in none|xvfb|null|host) ;; *) echo "wine-test.sh: unknown display mode '$display'" >&2; exit 2 ;; esac
case "$timeoutSeconds" in ''|*[!0-9]*) echo "wine-test.sh: timeout must be whole seconds" >&2; exit 2 ;; esac
case "$dpi" in ''|[1-9][0-9]|[1-9][0-9][0-9]) ;; *) echo "wine-test.sh: dpi must be a number from 10 to 999" >&2; exit 2 ;; esac
if [ -n "$wmiStandIn" ] && [ ! -f "$wmiStandIn" ]; then
    echo "wine-test.sh: no WMI stand-in at $wmiStandIn (build the target quelvane_wmi_stand_in)" >&2
    exit 2
fi
case "$arch" in
    win32|win64) ;;
    *) echo "wine-test.sh: unknown architecture '$arch' (win32 or win64)" >&2; exit 2 ;;
esac

# Exports WINEARCH, WINELOADER, WINESERVER; says why when this host cannot.
QuelvaneUseWine "$arch" || exit 1
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine would otherwise offer to download Mono and Gecko while it makes a prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

log() { echo "wine-test.sh: $*" >&2; }

# The loader starts whichever wineserver Debian's wrapper names (the 64-bit one
# once wine64 is installed) unless one already serves the prefix: start the
# one of the prefix's architecture first.  The prefix folder must exist.
StartServer() {
    mkdir -p "$WINEPREFIX" && "$WINESERVER" >/dev/null 2>&1 ||
        { log "could not start $WINESERVER for $WINEPREFIX"; return 1; }
}

MakeTemplate() {
    local template="$state/template-$arch"
    mkdir -p "$state" || return 1
    exec 9>"$template.lock"
    flock 9
    if [ ! -f "$template/.quelvane-ready" ]; then
        local fresh="$template.new" attempt
        log "making the $arch Wine prefix template in $template (once per build tree)"
        # A first wineboot on a busy machine has been seen to fail once and
        # work the next time: a second attempt starts from nothing again.
        for attempt in 1 2; do
            rm -rf "$fresh" "$template"
            (
                export WINEPREFIX="$fresh"
                StartServer || exit 1
                "$WINELOADER" wineboot -i >/dev/null 2>&1 || { log "wineboot failed (attempt $attempt)"; exit 1; }
                "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
                    >/dev/null 2>&1 || { log "turning the crash dialog off failed (attempt $attempt)"; exit 1; }
                QuelvaneCopyWineFonts "$fresh" || { log "copying Wine's fonts failed (attempt $attempt)"; exit 1; }
                # The wineserver writes the registry files only when it ends.
                "$WINESERVER" -w
            ) && touch "$fresh/.quelvane-ready" && mv "$fresh" "$template" && break
            WINEPREFIX="$fresh" "$WINESERVER" -k >/dev/null 2>&1
        done
        if [ ! -f "$template/.quelvane-ready" ]; then
            log "could not make the $arch Wine prefix template"
            flock -u 9
            return 1
        fi
    fi
    flock -u 9
    exec 9>&-
}

copy=""
xvfbPid=""
watcherPidFile=""

Cleanup() {
    local rc=$?
    trap - EXIT HUP INT TERM
    if [ -n "$copy" ] && [ -d "$copy" ]; then
        # Ends every Wine process of this prefix, our program's included.
        WINEPREFIX="$copy" "$WINESERVER" -k >/dev/null 2>&1
        if [ "$keep" = 1 ]; then log "prefix kept in $copy"; else rm -rf "$copy"; fi
    fi
    if [ -n "$xvfbPid" ]; then
        kill "$xvfbPid" 2>/dev/null
        wait "$xvfbPid" 2>/dev/null
    fi
    if [ -n "$watcherPidFile" ] && [ -s "$watcherPidFile" ]; then
        kill "$(cat "$watcherPidFile")" 2>/dev/null
        rm -f "$watcherPidFile"
    fi
    exit "$rc"
}
trap Cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

MakeTemplate || exit 1

mkdir -p "$state/runs"
copy="$(mktemp -d "$state/runs/run.XXXXXX")" || exit 1

if [ "$display" = xvfb ]; then
    displayFile="$copy.display"
    # -displayfd picks a free display number and writes it once the server
    # accepts connections, so parallel tests never race for a number.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$displayFile" </dev/null >/dev/null 2>&1 &
    xvfbPid=$!
    for _ in $(seq 200); do
        [ -s "$displayFile" ] && break
        kill -0 "$xvfbPid" 2>/dev/null || break
        sleep 0.05
    done
    if [ ! -s "$displayFile" ]; then log "Xvfb did not start"; rm -f "$displayFile"; exit 1; fi
    export DISPLAY=":$(head -n1 "$displayFile")"
    rm -f "$displayFile"
elif [ "$display" != host ]; then
    unset DISPLAY
fi

# CTest ends a test that runs out of time with SIGKILL, which no trap sees.  A
# detached watcher (outside the test's process tree, so it survives the kill)
# cleans up then; after a normal end Cleanup stops it.
watcherPidFile="$copy.watcher"
setsid -f bash -c '
    echo $$ >"$1"
    while kill -0 "$2" 2>/dev/null; do sleep 1; done
    WINEPREFIX="$3" "$5" -k >/dev/null 2>&1
    if [ -n "$4" ] && [ "$(cat /proc/"$4"/comm 2>/dev/null)" = Xvfb ]; then kill "$4"; fi
    rm -rf "$3" "$1"
' watcher "$watcherPidFile" "$$" "$copy" "$xvfbPid" "$WINESERVER" </dev/null >/dev/null 2>&1
# Cleanup can only stop a watcher whose process id it knows.
for _ in $(seq 100); do [ -s "$watcherPidFile" ] && break; sleep 0.01; done

cp -a "$state/template-$arch/." "$copy/" || { log "could not copy the prefix template"; exit 1; }
export WINEPREFIX="$copy"
export QUELVANE_WINE_PREFIX="$copy"
StartServer || exit 1

if [ "$display" = null ]; then
    "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
        { log "could not select the null graphics driver"; exit 1; }
    # Wine picks the graphics driver when its server and desktop start: begin again.
    "$WINESERVER" -k >/dev/null 2>&1
    StartServer || exit 1
fi
if [ -n "$windowsVersion" ]; then
    # Read by every Wine process at its start, so it is set before the program runs.
    "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /d "$windowsVersion" /f >/dev/null 2>&1 ||
        { log "could not set the Windows version to $windowsVersion"; exit 1; }
fi

if [ -n "$wmiStandIn" ]; then
    # What the program's CoCreateInstance(CLSID_WbemLocator) loads; Wine's own
    # wbemprox.dll is registered there otherwise.  Wine maps Z: to /.
    standInPath="Z:$(readlink -f "$wmiStandIn" | tr / '\\')"
    "$WINELOADER" reg add 'HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32' \
        /ve /d "$standInPath" /f >/dev/null 2>&1 || { log "could not register the WMI stand-in $standInPath"; exit 1; }
fi

if [ -n "$dpi" ]; then
    # Wine takes the resolution from the user's desktop settings when a
    # program starts.
    "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
        { log "could not set the screen resolution to $dpi dpi"; exit 1; }
fi

command=("$@")
case "${command[0],,}" in
    *.exe) command=("$WINELOADER" "${command[@]}") ;;
esac
if [ "$timeoutSeconds" != 0 ]; then
    command=(timeout --kill-after=5 "$timeoutSeconds" "${command[@]}")
fi

# In the background, so that a signal to this script runs its trap at once.
"${command[@]}" &
wait $!
rc=$?
if [ "$rc" = 124 ] && [ "$timeoutSeconds" != 0 ]; then log "the program did not end within $timeoutSeconds s"; fi
exit "$rc"
