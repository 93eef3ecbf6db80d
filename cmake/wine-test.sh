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
#                                              win64 (64-bit Wine, for the x86-64 build); win32 runs
#                                              natively or under qemu-i386 (then the runner runs again
#                                              in a namespace of its own), and a host where neither
#                                              works (scripts/wine-host.sh) refuses it
#   --state DIR         QUELVANE_WINE_STATE    where the template prefix and the per-run copies live
#                                              (the toolchain passes BUILD/wine; default /tmp/quelvane-wine-UID)
#   --display MODE      QUELVANE_WINE_DISPLAY  none (default: no X display, DISPLAY unset),
#                                              xvfb (a private Xvfb, 1024x768x24 unless --screen, at 96 dpi;
#                                              DISPLAY set),
#                                              null (Wine's null graphics driver: windows exist, nothing is drawn),
#                                              host (keep the caller's DISPLAY, to watch a test)
#   --screen WxHxD      QUELVANE_WINE_SCREEN   the xvfb display's screen, e.g. 1280x1024x24, for a window
#                                              larger than 1024x768 (Wine keeps a window within the screen)
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

# The probe of this host, its Wine loaders and wineservers, and the making of
# prefixes and displays.
QUELVANE_LOG_NAME=wine-test.sh
source "$(dirname "$(readlink -f "$0")")/../scripts/wine-prefix.sh" || exit 2
arguments=("$@")

arch="${QUELVANE_WINE_ARCH:-win32}"
state="${QUELVANE_WINE_STATE:-${TMPDIR:-/tmp}/quelvane-wine-$(id -u)}"
display="${QUELVANE_WINE_DISPLAY:-none}"
screen="${QUELVANE_WINE_SCREEN:-1024x768x24}"
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
        --screen) screen="$2"; shift 2 ;;
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
case "$screen" in [1-9]*x[1-9]*x[1-9]*) ;; *) echo "wine-test.sh: screen must be WIDTHxHEIGHTxDEPTH" >&2; exit 2 ;; esac
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
# Where qemu runs 32-bit code, all that follows runs in a namespace of its own
# whose every process ends with this script, the watcher below included, when
# CTest kills the test on its time limit.  So the prefix copy is made out
# here, and a watcher out here removes it, and the inner watcher's process id
# file beside it, once the namespace has ended.
if [ "$arch" = win32 ] && [ "$QUELVANE_32BIT_ROAD" = qemu ] && ! QuelvaneInQemuNamespace; then
    mkdir -p "$state/runs" && _QUELVANE_WINE_COPY="$(mktemp -d "$state/runs/run.XXXXXX")" || exit 1
    export _QUELVANE_WINE_COPY
    [ "$keep" = 1 ] || setsid -f bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; rm -rf "$2" "$2.watcher"' \
        watcher "$$" "$_QUELVANE_WINE_COPY" </dev/null >/dev/null 2>&1
fi
[ "$arch" = win64 ] || QuelvaneExec32Bit "$0" "${arguments[@]}"
export WINEDEBUG="${WINEDEBUG:--all}"

copy="${_QUELVANE_WINE_COPY:-}"
unset _QUELVANE_WINE_COPY
watcherPidFile=""

Cleanup() {
    local rc=$?
    trap - EXIT HUP INT TERM
    if [ -n "$copy" ] && [ -d "$copy" ]; then
        # Ends every Wine process of this prefix, our program's included.
        WINEPREFIX="$copy" "$WINESERVER" -k >/dev/null 2>&1
        if [ "$keep" = 1 ]; then QuelvaneLog "prefix kept in $copy"; else rm -rf "$copy"; fi
    fi
    QuelvaneStopXvfb
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

# CTest ends a test that runs out of time with SIGKILL, which no trap sees.  A
# watcher outside the test's process tree, so that it survives the kill, cleans
# up then: it ends the prefix's wineserver and this run's Xvfb and removes the
# copy.  Cleanup stops it after a normal end, by the process id that it writes.
StartWatcher() {
    watcherPidFile="$copy.watcher"
    setsid -f bash -c '
        echo $$ >"$1"
        while kill -0 "$2" 2>/dev/null; do sleep 1; done
        WINEPREFIX="$3" "$5" -k >/dev/null 2>&1
        if [ -n "$4" ] && [ "$(cat /proc/"$4"/comm 2>/dev/null)" = Xvfb ]; then kill "$4"; fi
        rm -rf "$3" "$1"
    ' watcher "$watcherPidFile" "$$" "$copy" "${QUELVANE_XVFB_PID:-}" "$WINESERVER" </dev/null >/dev/null 2>&1
    for _ in $(seq 100); do [ -s "$watcherPidFile" ] && break; sleep 0.01; done
}

QuelvaneMakePrefix "$state/template-$arch" || exit 1

if [ -z "$copy" ]; then
    mkdir -p "$state/runs"
    copy="$(mktemp -d "$state/runs/run.XXXXXX")" || exit 1
fi

if [ "$display" = xvfb ]; then
    QuelvaneStartXvfb "$screen" || exit 1
elif [ "$display" != host ]; then
    unset DISPLAY
fi
StartWatcher

cp -a "$state/template-$arch/." "$copy/" || { QuelvaneLog "could not copy the prefix template"; exit 1; }
export WINEPREFIX="$copy"
export QUELVANE_WINE_PREFIX="$copy"
QuelvaneStartServer || exit 1

if [ "$display" = null ]; then
    QuelvaneRegAdd 'HKCU\Software\Wine\Drivers' /v Graphics /d null ||
        { QuelvaneLog "could not select the null graphics driver"; exit 1; }
    # Wine picks the graphics driver when its server and desktop start: begin again.
    "$WINESERVER" -k >/dev/null 2>&1
    QuelvaneStartServer || exit 1
fi
if [ -n "$windowsVersion" ]; then
    # Read by every Wine process at its start, so it is set before the program runs.
    QuelvaneRegAdd 'HKCU\Software\Wine' /v Version /d "$windowsVersion" ||
        { QuelvaneLog "could not set the Windows version to $windowsVersion"; exit 1; }
fi

if [ -n "$wmiStandIn" ]; then
    # What the program's CoCreateInstance(CLSID_WbemLocator) loads; Wine's own
    # wbemprox.dll is registered there otherwise.  Wine maps Z: to /.
    standInPath="Z:$(readlink -f "$wmiStandIn" | tr / '\\')"
    QuelvaneRegAdd 'HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32' \
        /ve /d "$standInPath" || { QuelvaneLog "could not register the WMI stand-in $standInPath"; exit 1; }
fi

if [ -n "$dpi" ]; then
    # Wine takes the resolution from the user's desktop settings when a
    # program starts.
    QuelvaneRegAdd 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" ||
        { QuelvaneLog "could not set the screen resolution to $dpi dpi"; exit 1; }
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
if [ "$rc" = 124 ] && [ "$timeoutSeconds" != 0 ]; then QuelvaneLog "the program did not end within $timeoutSeconds s"; fi
exit "$rc"
