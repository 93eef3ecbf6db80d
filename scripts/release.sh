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
    cp "$i686" "$stage/Quelvane 2.exe"
    cp "$x64" "$stage/x64/Quelvane 2.exe"
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
    Package "$2" "$3" "$4"
    exit
elif (($# != 0)); then
    echo "usage: $0 [--package I686_EXE X64_EXE OUTPUT_DIR]" >&2
    exit 2
fi

scripts/install-deps.sh

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
cat dist/SHA256SUMS
