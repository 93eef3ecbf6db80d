#!/bin/bash
# Builds the release from this tree's sources:
#
#   bash scripts/release.sh
#
# makes dist/quelvane-VERSION.zip (the i686 "Quelvane 2.exe", its x86-64 twin
# in x64/, docs/administrator-guide.txt as README.txt with CR LF, and the
# Group Policy template of group_policy/ in PolicyDefinitions/, laid out as
# an administrator copies it) and dist/SHA256SUMS beside it.  VERSION is the
# FileVersion of the version resource (app/resources/quelvane.rc).  Both
# programs are built afresh in build/release-windows and
# build/release-windows-x64, as Release and without tests.
#
# The same commit gives the same bytes in any clone at any path: the programs
# carry no link time and no path (the root CMakeLists.txt),
# and the archive takes its files in a fixed order, all dated
# SOURCE_DATE_EPOCH (by default the time of the last commit) in UTC, with
# fixed permissions and no extra fields.
#
#   bash scripts/release.sh --package I686_EXE X64_EXE OUTPUT_DIR
#
# only packs two programs built elsewhere, with this tree's guide and
# template, into OUTPUT_DIR, as above (the test command checks the archive's
# layout with it).
#
# Signing: with QUELVANE_SIGN_PFX (a PKCS#12 file holding the code-signing
# certificate and its key) and QUELVANE_SIGN_PASSWORD_FILE (a file of one
# line, its password) set, either command signs both programs with
# Authenticode (osslsigncode: SHA-256, the description "Quelvane 2", the
# maker's web address of the About box) as it packs them; the programs of the
# build trees stay unsigned.  QUELVANE_SIGN_TIMESTAMP_URL, when set, names the
# RFC 3161 time stamp server.  The password goes from its file to openssl,
# through a pipe, and to osslsigncode (-readpass) alone: it stands on no
# command line and in no log.  A signed program keeps the Authenticode digest
# of the unsigned one (scripts/authenticode-digest.py), and the script checks
# that it does.  Without the two variables the programs are packed unsigned,
# and the last lines say so.  Bad signing input stops the script before it
# builds or packs anything.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^ *VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' app/resources/quelvane.rc)
if [[ ! $version =~ ^[0-9]+\.[0-9]+$ ]]; then
    echo "release.sh: no FileVersion found in app/resources/quelvane.rc" >&2
    exit 1
fi
archive=quelvane-$version.zip

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || [[ -z $SOURCE_DATE_EPOCH ]]; then
        echo "release.sh: not a git clone: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)" >&2
        exit 1
    fi
fi
if [[ ! $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || ((SOURCE_DATE_EPOCH < 315532800)); then
    # A zip file holds no date before 1980.
    echo "release.sh: SOURCE_DATE_EPOCH must be a whole number of seconds from 1980 on, not '$SOURCE_DATE_EPOCH'" >&2
    exit 1
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C

# Signing: both variables or neither.  Checked before anything is built or
# packed, so that bad input costs nothing and leaves nothing behind.
signing=""
CheckSigning() {
    local pfx=${QUELVANE_SIGN_PFX:-} passwordFile=${QUELVANE_SIGN_PASSWORD_FILE:-} certificate tool
    if [[ -z $pfx && -z $passwordFile ]]; then
        return 0
    elif [[ -z $pfx || -z $passwordFile ]]; then
        echo "release.sh: set both QUELVANE_SIGN_PFX and QUELVANE_SIGN_PASSWORD_FILE to sign, or neither" >&2
        return 1
    fi
    for tool in osslsigncode openssl; do
        if ! command -v $tool >/dev/null; then
            echo "release.sh: $tool is not installed (scripts/install-deps.sh installs it)" >&2
            return 1
        fi
    done
    if [[ ! -f $pfx || ! -r $pfx ]]; then
        echo "release.sh: QUELVANE_SIGN_PFX: $pfx is not a readable file" >&2
        return 1
    fi
    if [[ ! -f $passwordFile || ! -r $passwordFile ]]; then
        echo "release.sh: QUELVANE_SIGN_PASSWORD_FILE: $passwordFile is not a readable file" >&2
        return 1
    fi
    homePage=$(sed -n 's/.*HomePageAddress = L"\([^"]*\)".*/\1/p' ui/commands.h)
    if [[ -z $homePage ]]; then
        echo "release.sh: no HomePageAddress found in ui/commands.h" >&2
        return 1
    fi
    # osslsigncode takes the whole file, less the line end, as the password.
    if (($(grep -c '' "$passwordFile") > 1)); then
        echo "release.sh: QUELVANE_SIGN_PASSWORD_FILE: $passwordFile holds more than the one line of the password" >&2
        return 1
    fi
    # The signing certificate (the one with the key).  The password reaches
    # openssl through a pipe, without a CR that a Windows editor may have left
    # (osslsigncode drops it as well).  Older PKCS#12 files, as older Windows
    # exports them, need OpenSSL 3's legacy algorithms.
    if ! certificate=$(sed 's/\r$//' "$passwordFile" |
        openssl pkcs12 -in "$pfx" -passin stdin -nokeys -clcerts 2>/dev/null) &&
        ! certificate=$(sed 's/\r$//' "$passwordFile" |
            openssl pkcs12 -legacy -in "$pfx" -passin stdin -nokeys -clcerts 2>/dev/null); then
        echo "release.sh: cannot open $pfx with the password in $passwordFile: a wrong password, or no PKCS#12 file" >&2
        return 1
    fi
    if [[ $certificate != *"BEGIN CERTIFICATE"* ]]; then
        echo "release.sh: $pfx holds no certificate for its key" >&2
        return 1
    fi
    # Windows accepts a signature only from a certificate for code signing:
    # extended key usage Code Signing and, where the key usage is limited,
    # Digital Signature among its uses.
    local extendedUses uses
    extendedUses=$(openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null)
    uses=$(openssl x509 -noout -ext keyUsage <<<"$certificate" 2>/dev/null)
    if [[ $extendedUses != *"Code Signing"* ]] || [[ $uses == *"Key Usage"* && $uses != *"Digital Signature"* ]]; then
        echo "release.sh: the certificate in $pfx is not for code signing ($(openssl x509 -noout -subject <<<"$certificate"))" >&2
        return 1
    fi
    signer=$(openssl x509 -noout -subject -nameopt oneline <<<"$certificate")
    signer=${signer#subject=}
    signing=yes
}

# PlaceProgram PROGRAM DESTINATION: the program, signed when signing.
PlaceProgram() {
    local program=$1 destination=$2 log unsigned signed
    if [[ -z $signing ]]; then
        cp "$program" "$destination"
        return
    fi
    local options=(-pkcs12 "$QUELVANE_SIGN_PFX" -readpass "$QUELVANE_SIGN_PASSWORD_FILE" -h sha256
                   -n "Quelvane 2" -i "$homePage")
    [[ -z ${QUELVANE_SIGN_TIMESTAMP_URL:-} ]] || options+=(-ts "$QUELVANE_SIGN_TIMESTAMP_URL")
    log=$(osslsigncode sign "${options[@]}" -in "$program" -out "$destination" 2>&1) || {
        echo "release.sh: osslsigncode could not sign $program:" >&2
        echo "$log" >&2
        return 1
    }
    # Nothing but the signature may differ from the program that was built.
    unsigned=$(python3 scripts/authenticode-digest.py "$program") &&
        signed=$(python3 scripts/authenticode-digest.py "$destination") || return 1
    if [[ ${unsigned%% *} != "${signed%% *}" ]]; then
        echo "release.sh: the signed $program has another Authenticode digest than the unsigned one" >&2
        return 1
    fi
}

# Package I686_EXE X64_EXE OUTPUT_DIR: the archive and its sum.
Package() {
    local i686=$1 x64=$2 output=$3 program
    for program in "$i686" "$x64"; do
        if [[ ! -f $program ]]; then
            echo "release.sh: $program does not exist" >&2
            return 1
        fi
    done
    mkdir -p "$output"
    # Global, for the trap that removes it.
    stage=$(mktemp -d "${TMPDIR:-/tmp}/quelvane-release.XXXXXX")
    trap 'rm -rf "$stage"' EXIT
    mkdir -p "$stage/x64" "$stage/PolicyDefinitions/en-US"
    PlaceProgram "$i686" "$stage/Quelvane 2.exe" || return 1
    PlaceProgram "$x64" "$stage/x64/Quelvane 2.exe" || return 1
    sed 's/\r$//; s/$/\r/' docs/administrator-guide.txt >"$stage/README.txt"
    cp group_policy/Quelvane2.admx "$stage/PolicyDefinitions/"
    cp group_policy/en-US/Quelvane2.adml "$stage/PolicyDefinitions/en-US/"
    chmod 644 "$stage/Quelvane 2.exe" "$stage/x64/Quelvane 2.exe" "$stage/README.txt" \
        "$stage/PolicyDefinitions/Quelvane2.admx" "$stage/PolicyDefinitions/en-US/Quelvane2.adml"
    find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    # -X: no owner or extended times; -D: no folder entries; the list's order
    # is the archive's.
    rm -f "$output/$archive"
    (cd "$stage" && printf '%s\n' "Quelvane 2.exe" README.txt "x64/Quelvane 2.exe" \
        PolicyDefinitions/Quelvane2.admx PolicyDefinitions/en-US/Quelvane2.adml |
        zip -q -X -D -9 "$stage/$archive" -@)
    mv "$stage/$archive" "$output/$archive"
    (cd "$output" && sha256sum "$archive" >SHA256SUMS)
}

if [[ ${1:-} == --package ]]; then
    if (($# != 4)); then
        echo "usage: $0 [--package I686_EXE X64_EXE OUTPUT_DIR]" >&2
        exit 2
    fi
    CheckSigning
    Package "$2" "$3" "$4"
    exit
elif (($# != 0)); then
    echo "usage: $0 [--package I686_EXE X64_EXE OUTPUT_DIR]" >&2
    exit 2
fi

scripts/install-deps.sh
CheckSigning

for preset in windows windows-x64; do
    tree=build/release-$preset
    rm -rf "$tree"
    echo "== $preset: $tree"
    cmake --preset "$preset" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DQUELVANE_TESTS=OFF >/dev/null
    cmake --build "$tree" -j2 --target quelvane2
done

Package "build/release-windows/app/Quelvane 2.exe" "build/release-windows-x64/app/Quelvane 2.exe" dist
echo
echo "Made dist/$archive (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
sha256sum "build/release-windows/app/Quelvane 2.exe" "build/release-windows-x64/app/Quelvane 2.exe"
echo "Authenticode digests, the same signed or not:"
python3 scripts/authenticode-digest.py "build/release-windows/app/Quelvane 2.exe" \
    "build/release-windows-x64/app/Quelvane 2.exe"
cat dist/SHA256SUMS
if [[ -n $signing ]]; then
    echo "Both programs in the archive are signed by: $signer"
    if [[ -n ${QUELVANE_SIGN_TIMESTAMP_URL:-} ]]; then
        echo "Time stamp: $QUELVANE_SIGN_TIMESTAMP_URL"
    else
        echo "No time stamp (QUELVANE_SIGN_TIMESTAMP_URL is not set): Windows trusts the signature only while the certificate is valid."
    fi
else
    echo "The programs are NOT signed: QUELVANE_SIGN_PFX and QUELVANE_SIGN_PASSWORD_FILE are not set."
fi
