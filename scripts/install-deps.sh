#!/bin/bash
# Installs what the build and the tests need on Debian 12, when missing.
# Run as root.  Quiet when everything is there already.
set -euo pipefail

# wine32:i386 installs even where the kernel runs no 32-bit code; whether it
# can run is scripts/wine-host.sh's question.  wine64 runs the x86-64 build on
# every host; fonts-wine gives the prefixes Wine's own MS Sans Serif and Tahoma.
# python3 makes the program icon (app/resources/make_icon.py) and reads the
# embedded manifest and the icon back (their checks); zip makes the release,
# unzip reads it back (the test command).  osslsigncode signs the release's
# programs, openssl reads the signing certificate (and makes the test
# command's throw-away one); libxml2-dev reads the Group Policy template
# (its native test).
packages=(cmake make g++ googletest clang-format git libxml2-dev
          g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 fonts-wine xvfb xdotool imagemagick procps util-linux
          python3 zip unzip osslsigncode openssl)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [[ -n ${need_update:-} ]]; then
    apt-get update -qq
fi

# 32-bit Wine where the kernel runs no 32-bit code (or QUELVANE_32BIT_QEMU=1
# asks for that road) needs qemu-i386 10 or later: scripts/wine-host.sh.
# Debian 12's own qemu (7.2) fails under Wine, so qemu-user comes from the
# release's backports suite, on the mirror that the machine's own apt sources
# name (apt reads them, one-line or deb822).  A private apt configuration
# (its own source file, lists and cache, in a temporary folder) only
# downloads it, and qemu-i386 alone, a static program, is taken into the
# cache: the machine's apt sources and state stay as they are, and nothing is
# installed.  Package qemu-user-binfmt, which qemu-user recommends, would
# register handlers for the whole machine; it is left out.
FetchQemu() {
    local codename mirror work arch version
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    arch=$(dpkg --print-architecture)
    # ReleaseInfo=false lists every configured index, fetched or not.
    mirror=$(apt-get -o APT::Get::IndexTargets::ReleaseInfo=false indextargets \
        --format '$(TARGET_OF) $(RELEASE) $(REPO_URI)' | awk -v release="$codename" \
        '$1 == "deb" && $2 == release { print $3; exit }')
    if [[ -z $codename || -z $mirror ]]; then
        echo "install-deps.sh: no apt source of the release '${codename}' names a mirror for its backports suite: no qemu-i386"
        return 1
    fi
    mkdir -p "$(dirname "$QUELVANE_QEMU_DIR")"
    work=$(mktemp -d "$QUELVANE_QEMU_DIR.fetch.XXXXXX") || return 1
    mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial"
    {
        echo "Types: deb"
        echo "URIs: $mirror"
        echo "Suites: $codename-backports"
        echo "Components: main"
        [[ ! -f /usr/share/keyrings/debian-archive-keyring.gpg ]] ||
            echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    } >"$work/sources/backports.sources"
    local apt=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/sources"
               -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
               -o APT::Architectures="$arch" -o APT::Sandbox::User=root -qq)
    if ! (cd "$work" && apt-get "${apt[@]}" update && apt-get "${apt[@]}" download "qemu-user/$codename-backports") \
        >"$work/apt.log" 2>&1; then
        echo "install-deps.sh: qemu-user from $codename-backports on $mirror could not be downloaded: no qemu-i386" \
             "($(grep -E '^(E|W):' "$work/apt.log" | head -n1))"
        rm -rf "$work"
        return 1
    fi
    dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386 &&
        version=$(QuelvaneQemuVersion "$work/usr/bin/qemu-i386")
    if [[ -z $version ]] || ((${version%%.*} < QUELVANE_QEMU_OLDEST)); then
        echo "install-deps.sh: qemu-i386 of $codename-backports is '${version:-no version}', not $QUELVANE_QEMU_OLDEST or later: left out"
        rm -rf "$work"
        return 1
    fi
    mkdir -p "$QUELVANE_QEMU_DIR" && mv -f "$work/usr/bin/qemu-i386" "$QUELVANE_QEMU" &&
        echo "Fetched qemu-i386 $version (qemu-user $(dpkg-deb -f "$work"/qemu-user_*.deb Version) of" \
             "$codename-backports on $mirror) into $QUELVANE_QEMU_DIR"
    rm -rf "$work"
}

source "$(dirname "$0")/wine-host.sh"
if ! QuelvaneHostRuns32Bit && [[ $QUELVANE_QEMU_MISSING == yes ]]; then
    FetchQemu || true
fi
