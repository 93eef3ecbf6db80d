# Sourced, never run: the one place that knows how this host runs Windows
# programs.  The Wine test runner (cmake/wine-test.sh), scripts/run.sh,
# scripts/test.sh and scripts/install-deps.sh all ask it.
#
#   source scripts/wine-host.sh || exit 2
#   if QuelvaneHostRuns32Bit; then echo "$QUELVANE_32BIT_WINE: $QUELVANE_32BIT_WHY"
#   else echo "no 32-bit: $QUELVANE_HOST_32BIT_REASON"; fi
#   QuelvaneUseWine win32|win64 || exit 1
#       exports WINEARCH, WINELOADER and WINESERVER for a prefix of that
#       architecture; then start programs with "$WINELOADER" PROGRAM.exe, make a
#       prefix with "$WINELOADER" wineboot -i, end it with "$WINESERVER" -k.
#   QuelvaneExec32Bit "$0" "$@"
#       before a script starts 32-bit Wine: on the qemu road it runs again in
#       a namespace where 32-bit programs start (exec); elsewhere it returns.
#       Whatever the script leaves running there ends with it: a script that
#       needs its wineserver's registry written waits for it ("$WINESERVER" -w).
#
# Why the loader is always named: Debian's `wine` wrapper starts the 32-bit
# loader whenever package wine32:i386 is installed, and a kernel that runs no
# 32-bit code answers "Exec format error" (exit 126) to it, to `wineboot` and to
# `reg` alike.  The wrapper's `wineserver` is the 64-bit one as soon as wine64 is
# installed.  So nothing here goes through /usr/bin/wine*.
#
# The roads of 32-bit Wine (QUELVANE_32BIT_ROAD):
#   native  the kernel starts 32-bit programs itself;
#   qemu    it does not, and qemu's user-mode emulator (qemu-i386, version 10
#           or later: 7.2 loops in wineboot) runs them.  Wine starts its own
#           32-bit loader again and again (every Wine process, wineboot's
#           services), so qemu has to sit where the kernel looks for a
#           program's format: binfmt_misc.  That lives in a private user,
#           mount and PID namespace (kernels from 6.7 on give each user
#           namespace its own), whose processes all end with the command that
#           it runs: nothing on the machine changes, and nothing stays.
#           scripts/install-deps.sh fetches qemu-i386 into QUELVANE_QEMU_DIR;
#   none    neither; QUELVANE_HOST_32BIT_REASON says why, in one line.
#
# QUELVANE_64BIT_ONLY=1 makes any host take the road of one that runs no
# 32-bit code at all (the x86-64 build only); QUELVANE_32BIT_QEMU=1 makes a
# host that runs 32-bit code take the qemu road, so that every road can be
# tried, and timed, on any host.  0 or unset: ask the host.

QUELVANE_WINE32_LOADER=/usr/lib/wine/wine
QUELVANE_WINE32_SERVER=/usr/lib/wine/wineserver32
QUELVANE_WINE64_LOADER=/usr/lib/wine/wine64
QUELVANE_WINE64_SERVER=/usr/lib/wine/wineserver64
# A cache of the user's, outside any build tree, so that a fresh clone finds it.
QUELVANE_QEMU_DIR="${XDG_CACHE_HOME:-$HOME/.cache}/quelvane/qemu-user"
QUELVANE_QEMU="$QUELVANE_QEMU_DIR/qemu-i386"
QUELVANE_QEMU_OLDEST=10
# How many times its native time limits a Windows test gets under qemu
# (CTest's, the runner's and its own waits: tests/CMakeLists.txt).  Measured
# on a loaded 2-core machine, the i686 tests took 1.2 to 4 times as long
# under qemu as natively; the slowest of them, ui_windows_test, 52 to 82 s
# against its native limit of 120 s.  Twice the native limits leaves every
# test at least twice its slowest run seen.
QUELVANE_QEMU_TIME_FACTOR=2
_quelvaneWineHost="$(readlink -f "${BASH_SOURCE[0]}")"

for _quelvaneSwitch in QUELVANE_64BIT_ONLY QUELVANE_32BIT_QEMU; do
    case "${!_quelvaneSwitch:-0}" in
        0|1) ;;
        *)
            echo "wine-host.sh: $_quelvaneSwitch must be 0 or 1, not '${!_quelvaneSwitch}'" >&2
            return 2
            ;;
    esac
done
if [ "${QUELVANE_64BIT_ONLY:-0}" = 1 ] && [ "${QUELVANE_32BIT_QEMU:-0}" = 1 ]; then
    echo "wine-host.sh: QUELVANE_64BIT_ONLY=1 and QUELVANE_32BIT_QEMU=1 ask for two roads: set one" >&2
    return 2
fi

# The version of a qemu-i386 ("10.0.2"); nothing when it names none.
QuelvaneQemuVersion() {
    "$1" --version 2>/dev/null </dev/null | sed -n '1s/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p'
}

# In a namespace of QuelvaneExec32Bit: mounts its own binfmt_misc and hands
# every i386 ELF program (executable or shared object, as the kernel's loader
# sees them) to qemu-i386.  Flag F opens qemu when the handler is registered,
# so it starts whatever the namespace's programs see of the file system.
# Refused in the machine's own user namespace, whose binfmt_misc is the
# machine's: there, as root, it would hand every i386 program on the machine
# to qemu.  (In any other one, the kernel gives the namespace a binfmt_misc of
# its own from 6.7 on, and refuses the mount before.)
QuelvaneRegisterQemu() {
    local misc=/proc/sys/fs/binfmt_misc inside outside count
    read -r inside outside count </proc/self/uid_map
    if [ "$inside $outside $count" = "0 0 4294967295" ]; then
        echo "wine-host.sh: QuelvaneRegisterQemu registers qemu-i386 only in a private user namespace" \
             "(QuelvaneExec32Bit makes one), never for the whole machine" >&2
        return 1
    fi
    mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null &&
        printf '%s' ":quelvane-i386:M::"'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'":"'\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'":$QUELVANE_QEMU:F" \
            >"$misc/register" 2>/dev/null
}

# Whether this shell runs in such a namespace.
QuelvaneInQemuNamespace() { [ -e /proc/sys/fs/binfmt_misc/quelvane-i386 ]; }

# Runs "$@" as its child, hands it each HUP, INT and TERM that it gets and
# ends with its status.  Both ends of the namespace's PID namespace run it:
# outside, the process that callers see and signal (unshare --fork would
# block INT and TERM there until the namespace ends); inside, its first
# process, which the kernel spares every signal without a handler, so that
# the script below it keeps the usual ones.  As that first process, bash
# also reaps the orphans, wineserver among them.
_quelvaneForward='"$@" & child=$!
trap "kill -HUP $child" HUP; trap "kill -INT $child" INT; trap "kill -TERM $child" TERM
wait $child; status=$?
while kill -0 $child 2>/dev/null; do wait $child; status=$?; done
exit $status'

# The command that runs a command in a new namespace with the handler
# registered, run as it is or by exec.  User, mount and PID namespaces: when
# the command ends, or is killed, the kernel ends every process left in it
# (a wineserver, qemu-i386, Xvfb), so that none outlives it.  The outer
# process forks exactly once, since a PID namespace ends with its first
# process, and that one is killed (PDEATHSIG) when the outer one is.
#
# --map-root-user gives the rights to mount /proc and binfmt_misc, and nothing
# else needs them: the command runs in a second user namespace, under the
# user's own id again.  Under id 0, every user's Wine and scripts would take
# root's folders: upstream Wine's server folder /tmp/.wine-0 ("not owned by
# you" to a user who is not root, once root has used Wine) and the runner's
# default state folder /tmp/quelvane-wine-0 ("Permission denied").  (Debian's
# Wine keeps its server folder in /run/user/UID/wine, or where that is out of
# reach in a folder of TMPDIR that it names in the prefix.)  Under the
# user's own id they take the very folders that they take outside, each the
# user's own, and no mount has to hide another's: a private /tmp would also
# hide what the scripts hand in under /tmp (mktemp's files, the runner's
# state, /tmp/.X11-unix for a display).  A prefix is used by one namespace at
# a time (the runner's copies, a template made under a lock and waited for),
# as it must be: a wineserver knows its clients by the process ids they
# report, which hold in its own PID namespace only.
_quelvaneQemuNamespace=(unshare --user --map-root-user --mount --pid -- bash -c "$_quelvaneForward" quelvane-ns
    setpriv --pdeathsig KILL -- bash -c '
    source "$0" || exit 1
    if ! mount -t proc proc /proc; then
        echo "wine-host.sh: no /proc of its own for a PID namespace" >&2
    elif ! QuelvaneRegisterQemu; then
        echo "wine-host.sh: no binfmt_misc of its own for a user namespace: a kernel older than 6.7?" >&2
    else
        exec unshare --user --map-user="$1" --map-group="$2" -- bash -c "$_quelvaneForward" quelvane-init "${@:3}"
    fi
    exit 1' "$_quelvaneWineHost" "$(id -u)" "$(id -g)")

# Whether this host runs 32-bit code, that is 32-bit Wine, in either way.  Sets
# QUELVANE_32BIT_ROAD (native, qemu, or nothing) and, on a road,
# QUELVANE_32BIT_WINE (how Wine runs, for the closing lines: "32-bit Wine" or
# "32-bit Wine under qemu-i386 10.0.2"), QUELVANE_32BIT_WHY and
# QUELVANE_32BIT_TIME_FACTOR (1, or QUELVANE_QEMU_TIME_FACTOR); off the roads,
# QUELVANE_HOST_32BIT_REASON, and QUELVANE_QEMU_MISSING=yes where qemu-i386 10
# would make a road (scripts/install-deps.sh then fetches it).  The answer is
# kept for the rest of this shell: the probe starts programs.
QuelvaneHostRuns32Bit() {
    if [ -z "${_quelvaneHost32Bit:-}" ]; then
        QUELVANE_32BIT_ROAD="" QUELVANE_32BIT_WINE="" QUELVANE_32BIT_WHY="" QUELVANE_HOST_32BIT_REASON=""
        QUELVANE_QEMU_MISSING=""
        local answer native version problem loader="$QUELVANE_WINE32_LOADER"
        if [ "${QUELVANE_64BIT_ONLY:-0}" = 1 ]; then
            QUELVANE_HOST_32BIT_REASON="QUELVANE_64BIT_ONLY=1 makes this host take the 64-bit-only path"
        elif [ ! -x "$loader" ]; then
            QUELVANE_HOST_32BIT_REASON="the 32-bit Wine loader $loader is not installed (package wine32:i386)"
        elif QuelvaneInQemuNamespace; then
            # The script's first run chose this road and said why (QuelvaneExec32Bit).
            QUELVANE_32BIT_ROAD=qemu
            QUELVANE_32BIT_WHY="${QUELVANE_QEMU_WHY:-this runs in a namespace that hands 32-bit programs to qemu}"
        # The loader's version needs no prefix and no wineserver: it only
        # shows whether the kernel starts a 32-bit program at all.
        elif [ "${QUELVANE_32BIT_QEMU:-0}" != 1 ] && answer="$("$loader" --version 2>&1 </dev/null)"; then
            QUELVANE_32BIT_ROAD=native QUELVANE_32BIT_WHY="this host runs 32-bit code"
        else
            if [ "${QUELVANE_32BIT_QEMU:-0}" = 1 ]; then
                native="QUELVANE_32BIT_QEMU=1 sends 32-bit code to qemu"
            else
                answer="$(printf '%s' "$answer" | tail -n1)"
                native="this host runs no 32-bit code ($loader --version: ${answer##*: })"
            fi
            version="$(QuelvaneQemuVersion "$QUELVANE_QEMU")" problem=""
            if [ ! -x "$QUELVANE_QEMU" ]; then
                problem="there is no $QUELVANE_QEMU (scripts/install-deps.sh fetches it)"
            elif [ -z "$version" ]; then
                problem="$QUELVANE_QEMU names no version"
            elif [ "${version%%.*}" -lt "$QUELVANE_QEMU_OLDEST" ]; then
                problem="qemu-i386 $version is older than $QUELVANE_QEMU_OLDEST (Wine fails under it)"
            fi
            if [ -n "$problem" ]; then
                QUELVANE_QEMU_MISSING=yes QUELVANE_HOST_32BIT_REASON="$native, and $problem"
            elif ! answer="$("${_quelvaneQemuNamespace[@]}" "$loader" --version 2>&1 </dev/null)"; then
                answer="$(printf '%s' "$answer" | tail -n1)"
                QUELVANE_HOST_32BIT_REASON="$native, and 32-bit Wine does not start under qemu-i386 $version in a private namespace (${answer#wine-host.sh: })"
            else
                QUELVANE_32BIT_ROAD=qemu QUELVANE_32BIT_WHY="$native"
            fi
        fi
        QUELVANE_32BIT_TIME_FACTOR=1
        case "$QUELVANE_32BIT_ROAD" in
            native) QUELVANE_32BIT_WINE="32-bit Wine" ;;
            qemu)
                QUELVANE_32BIT_WINE="32-bit Wine under qemu-i386 $(QuelvaneQemuVersion "$QUELVANE_QEMU")"
                QUELVANE_32BIT_TIME_FACTOR=$QUELVANE_QEMU_TIME_FACTOR
                ;;
        esac
        if [ -n "$QUELVANE_32BIT_ROAD" ]; then _quelvaneHost32Bit=yes; else _quelvaneHost32Bit=no; fi
    fi
    [ "$_quelvaneHost32Bit" = yes ]
}

# SCRIPT [ARGUMENTS...]: on the qemu road, outside its namespace, runs the
# script again (exec) in a namespace of its own; returns otherwise.  Every
# process that the script starts stays in the namespace and ends with the
# script, a watcher that it leaves behind included; the process id that the
# caller knows stays the same, and a HUP, INT or TERM sent to it reaches the
# script.
QuelvaneExec32Bit() {
    QuelvaneHostRuns32Bit || return 0
    if [ "$QUELVANE_32BIT_ROAD" = qemu ] && ! QuelvaneInQemuNamespace; then
        QUELVANE_QEMU_WHY="$QUELVANE_32BIT_WHY" exec "${_quelvaneQemuNamespace[@]}" bash "$@"
    fi
}

# Exports WINEARCH, WINELOADER and WINESERVER for a prefix of this architecture
# (win32 or win64).  Fails with a message when this host cannot run it.
QuelvaneUseWine() {
    case "$1" in
        win32)
            if ! QuelvaneHostRuns32Bit; then
                echo "wine-host.sh: cannot run 32-bit Wine: $QUELVANE_HOST_32BIT_REASON" >&2
                return 1
            fi
            export WINELOADER="$QUELVANE_WINE32_LOADER" WINESERVER="$QUELVANE_WINE32_SERVER"
            # qemu-i386 implements no ptrace, so a wineserver under it cannot
            # read another process's memory: ReadProcessMemory and a module
            # list fail with error 5.  The 64-bit server serves a 32-bit
            # prefix as well, runs natively, and finds each emulated program's
            # memory at its own addresses (qemu-i386 maps them one to one on
            # an x86-64 host).
            [ "$QUELVANE_32BIT_ROAD" = native ] || WINESERVER="$QUELVANE_WINE64_SERVER"
            ;;
        win64)
            if [ ! -x "$QUELVANE_WINE64_LOADER" ] || [ ! -x "$QUELVANE_WINE64_SERVER" ]; then
                echo "wine-host.sh: 64-bit Wine ($QUELVANE_WINE64_LOADER, package wine64) is not installed" >&2
                return 1
            fi
            export WINELOADER="$QUELVANE_WINE64_LOADER" WINESERVER="$QUELVANE_WINE64_SERVER"
            ;;
        *)
            echo "wine-host.sh: unknown Wine architecture '$1' (win32 or win64)" >&2
            return 2
            ;;
    esac
    if [ ! -x "$WINESERVER" ]; then
        echo "wine-host.sh: the wineserver $WINESERVER is not installed" >&2
        return 1
    fi
    # WINELOADER is where Wine looks when it starts another Wine process (a
    # driver program starting the program under test, wineboot's services);
    # WINESERVER, which server the loader starts for the prefix.
    export WINEARCH="$1"
}

# Copies Wine's own fonts (package fonts-wine) into the prefix's Fonts folder.
# Debian's Wine looks for them in /usr/share/fonts, not in /usr/share/wine/fonts
# where the package puts them, and would draw MS Sans Serif and Tahoma with
# DejaVu Sans.  Nothing to do when the package is missing.
QuelvaneCopyWineFonts() {
    local prefix="$1" fonts=/usr/share/wine/fonts
    [ -d "$fonts" ] || return 0
    mkdir -p "$prefix/drive_c/windows/Fonts" && cp -p "$fonts"/* "$prefix/drive_c/windows/Fonts/"
}

# The Wine architecture (win32 or win64) of a configured Windows build tree,
# from its CMake cache; fails with a message for a tree that is none.
QuelvaneBuildWineArch() {
    local arch
    arch="$(sed -n 's/^QUELVANE_WINE_ARCH:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null)"
    case "$arch" in
        win32|win64) echo "$arch" ;;
        *) echo "wine-host.sh: $1 is not a configured Windows build tree (cmake --preset windows or windows-x64)" >&2
           return 1 ;;
    esac
}
