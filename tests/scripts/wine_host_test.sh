#!/bin/bash
# The host probe of scripts/wine-host.sh: which road 32-bit Wine takes
# (native, qemu or none) and the one line that says why, with stand-ins for
# the 32-bit Wine loader and for qemu-i386.  The stand-ins are shell scripts,
# so no case starts a 32-bit program or needs qemu.
set -u
probe="$(dirname "$(readlink -f "$0")")/../../scripts/wine-host.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quelvane-probe.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
# The switches of the caller (QUELVANE_32BIT_QEMU=1 of a test run) stay out.
host=(env -u QUELVANE_64BIT_ONLY -u QUELVANE_32BIT_QEMU XDG_CACHE_HOME="$work/cache")

# Stub NAME LINE EXIT_CODE: a program that prints LINE and ends with EXIT_CODE.
Stub() { printf '#!/bin/sh\necho "%s"\nexit %s\n' "$2" "$3" >"$work/$1" && chmod +x "$work/$1"; }
Stub loader wine-8.0 0
# A loader that the kernel refuses, unless binfmt_misc hands it to qemu.
printf '%s\n' '#!/bin/sh' '[ -e /proc/sys/fs/binfmt_misc/quelvane-i386 ] && echo wine-8.0 && exit' \
    'echo "/usr/lib/wine/wine: cannot execute binary file: Exec format error"' 'exit 126' >"$work/refused-loader"
chmod +x "$work/refused-loader"

# Road QEMU_VERSION LOADER [VARIABLE=VALUE...]: the probe's answer in a fresh
# shell, with a qemu-i386 of that version ("none": no qemu) in the cache, as
# "road|wine|time factor|qemu missing|why|reason".
Road() {
    local version=$1 loader=$2
    shift 2
    rm -rf "$work/cache" && mkdir -p "$work/cache/quelvane/qemu-user"
    [[ $version == none ]] || Stub cache/quelvane/qemu-user/qemu-i386 "qemu-i386 version $version (Debian)" 0
    "${host[@]}" "$@" bash -c '
        source "$0" || exit
        QUELVANE_WINE32_LOADER=$1
        QuelvaneHostRuns32Bit
        echo "$QUELVANE_32BIT_ROAD|$QUELVANE_32BIT_WINE|$QUELVANE_32BIT_TIME_FACTOR|$QUELVANE_QEMU_MISSING|$QUELVANE_32BIT_WHY|$QUELVANE_HOST_32BIT_REASON"
    ' "$probe" "$work/$loader" 2>&1
}

# Expect CASE ANSWER PATTERN: the answer matches the pattern (bash's [[ == ]]).
Expect() {
    if [[ $2 == $3 ]]; then
        echo "ok: $1"
    else
        echo "FAILED: $1"$'\n'"  answer:   $2"$'\n'"  expected: $3"
        failures=$((failures + 1))
    fi
}

Expect "a host that runs 32-bit code takes the native road" \
    "$(Road none loader)" "native|32-bit Wine|1||this host runs 32-bit code|"
Expect "QUELVANE_64BIT_ONLY=1 takes no road and says so" \
    "$(Road 10.0.2 loader QUELVANE_64BIT_ONLY=1)" "||1|||QUELVANE_64BIT_ONLY=1 makes this host take the 64-bit-only path"
Expect "QUELVANE_32BIT_QEMU=1 without qemu asks for it" \
    "$(Road none loader QUELVANE_32BIT_QEMU=1)" \
    "||1|yes||QUELVANE_32BIT_QEMU=1 sends 32-bit code to qemu, and there is no */quelvane/qemu-user/qemu-i386 (scripts/install-deps.sh fetches it)"
Expect "a kernel that runs no 32-bit code and a qemu older than 10 take no road" \
    "$(Road 7.2.0 refused-loader)" \
    "||1|yes||this host runs no 32-bit code (*/refused-loader --version: Exec format error), and qemu-i386 7.2.0 is older than 10 (Wine fails under it)"
Expect "a switch is 0 or 1" "$(Road none loader QUELVANE_32BIT_QEMU=yes)" \
    "wine-host.sh: QUELVANE_32BIT_QEMU must be 0 or 1, not 'yes'"
Expect "the two switches together are refused" "$(Road none loader QUELVANE_32BIT_QEMU=1 QUELVANE_64BIT_ONLY=1)" \
    "wine-host.sh: QUELVANE_64BIT_ONLY=1 and QUELVANE_32BIT_QEMU=1 ask for two roads: set one"

# qemu 10: the probe tries the namespace for real (binfmt_misc of its own,
# a kernel from 6.7 on); where the kernel refuses, it says so.
answer=$(Road 10.0.2 refused-loader)
if [[ $answer == qemu* ]]; then
    Expect "a kernel that runs no 32-bit code takes the qemu road with qemu 10" "$answer" \
        "qemu|32-bit Wine under qemu-i386 10.0.2|2||this host runs no 32-bit code (*: Exec format error)|"
    # A script that asks again in the namespace that QuelvaneExec32Bit made:
    # the same road, the reason that the first run found, the 64-bit
    # wineserver (a wineserver under qemu could not read other processes),
    # the user's own id (whose folders Wine then takes, as outside).  It
    # leaves a process behind, as a wineserver that outlives a killed test.
    ln -s "$(command -v sleep)" "$work/lingerer"
    printf '%s\n' 'source "$1" || exit' 'QUELVANE_WINE32_LOADER=$2 QUELVANE_WINE64_SERVER=$3' \
        'QuelvaneExec32Bit "$0" "$@"' 'QuelvaneUseWine win32 || exit' \
        'setsid -f "$(dirname "$0")/lingerer" 30 </dev/null >/dev/null 2>&1' \
        'echo "$QUELVANE_32BIT_ROAD|$QUELVANE_32BIT_WHY|$WINESERVER|$(id -u)|$(ls /proc/sys/fs/binfmt_misc)"' >"$work/again.sh"
    Expect "a script runs again in a namespace that hands i386 programs to qemu" \
        "$("${host[@]}" bash "$work/again.sh" "$probe" "$work/refused-loader" "$work/loader")" \
        "qemu|this host runs no 32-bit code (*: Exec format error)|$work/loader|$(id -u)|quelvane-i386*register*status"
    Expect "no process started in the namespace outlives it" "$(pgrep -f "$work/lingerer")" ""
else
    Expect "a kernel that refuses the namespace says so" "$answer" \
        "||1|||this host runs no 32-bit code (*), and 32-bit Wine does not start under qemu-i386 10.0.2 in a private namespace (*)"
fi

# In the machine's own user namespace the handler would be the machine's.  A
# qemu that does not exist keeps even a failing guard from registering one,
# and a mount namespace of root's own from mounting anything.
read -r inside outside count </proc/self/uid_map
if [[ "$inside $outside $count" == "0 0 4294967295" ]]; then
    isolate=()
    ((EUID == 0)) && isolate=(unshare --mount --propagation private)
    Expect "registering qemu outside a private namespace is refused" "$("${isolate[@]}" bash -c \
        'source "$0" && QUELVANE_QEMU=/nonexistent/qemu-i386 QuelvaneRegisterQemu; echo "status $?"' "$probe" 2>&1)" \
        "wine-host.sh: QuelvaneRegisterQemu registers qemu-i386 only in a private user namespace *, never for the whole machine"$'\n'"status 1"
fi

((failures == 0)) && echo "All cases passed." || echo "$failures case(s) FAILED."
((failures == 0))
