#!/bin/bash
# Installs what the build and the tests need on Debian 12, when missing.
# Run as root.  Quiet when everything is there already.
set -euo pipefail

# wine32:i386 installs even where the kernel runs no 32-bit code; whether it
# can run is scripts/wine-host.sh's question.  wine64 runs the x86-64 build on
# every host; fonts-wine gives the prefixes Wine's own MS Sans Serif and Tahoma.
# python3 reads the embedded manifest back (its check); zip makes the release,
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
