# Sourced, never run: the one place that knows how this host runs Windows
# programs.  The Wine test runner (cmake/wine-test.sh), scripts/run.sh and
# scripts/test.sh all ask it.
#
#   source scripts/wine-host.sh || exit 2
#   if QuelvaneHostRuns32Bit; then ...; else echo "no 32-bit: $QUELVANE_HOST_32BIT_REASON"; fi
#   QuelvaneUseWine win32|win64 || exit 1
#       exports WINEARCH, WINELOADER and WINESERVER for a prefix of that
#       architecture; then start programs with "$WINELOADER" PROGRAM.exe, make a
#       prefix with "$WINELOADER" wineboot -i, end it with "$WINESERVER" -k.
#
# Why the loader is always named: Debian's `wine` wrapper starts the 32-bit
# loader whenever package wine32:i386 is installed, and a kernel that runs no
# 32-bit code answers "Exec format error" (exit 126) to it, to `wineboot` and to
# `reg` alike.  The wrapper's `wineserver` is the 64-bit one as soon as wine64 is
# installed.  So nothing here goes through /usr/bin/wine*.
#
# QUELVANE_64BIT_ONLY=1 makes a host that runs 32-bit code take the path of one
# that does not (the x86-64 build only), so that both paths can be tried on any
# host.  0 or unset: ask the host.

QUELVANE_WINE32_LOADER=/usr/lib/wine/wine
QUELVANE_WINE32_SERVER=/usr/lib/wine/wineserver32
QUELVANE_WINE64_LOADER=/usr/lib/wine/wine64
QUELVANE_WINE64_SERVER=/usr/lib/wine/wineserver64

case "${QUELVANE_64BIT_ONLY:-0}" in
    0|1) ;;
    *)
        echo "wine-host.sh: QUELVANE_64BIT_ONLY must be 0 or 1, not '${QUELVANE_64BIT_ONLY}'" >&2
        return 2
        ;;
esac

# Whether this host runs 32-bit code, that is 32-bit Wine.  When it does not,
# QUELVANE_HOST_32BIT_REASON says why in a few words.  The answer is kept for
# the rest of this shell: the probe starts a program.
QuelvaneHostRuns32Bit() {
    if [ -z "${_quelvaneHost32Bit:-}" ]; then
        QUELVANE_HOST_32BIT_REASON=""
        local answer loader="$QUELVANE_WINE32_LOADER"
        if [ "${QUELVANE_64BIT_ONLY:-0}" = 1 ]; then
            QUELVANE_HOST_32BIT_REASON="QUELVANE_64BIT_ONLY=1 makes this host take the 64-bit-only path"
        elif [ ! -x "$QUELVANE_WINE32_LOADER" ]; then
            QUELVANE_HOST_32BIT_REASON="the 32-bit Wine loader $loader is not installed (package wine32:i386)"
        # The loader's version needs no prefix and no wineserver: it only
        # shows whether the kernel starts a 32-bit program at all.
        elif ! answer="$("$QUELVANE_WINE32_LOADER" --version 2>&1 </dev/null)"; then
            answer="$(printf '%s' "$answer" | tail -n1)"
            QUELVANE_HOST_32BIT_REASON="this host runs no 32-bit code ($loader --version: ${answer##*: })"
        fi
        if [ -z "$QUELVANE_HOST_32BIT_REASON" ]; then _quelvaneHost32Bit=yes; else _quelvaneHost32Bit=no; fi
    fi
    [ "$_quelvaneHost32Bit" = yes ]
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
