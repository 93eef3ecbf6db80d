#!/bin/bash
# Checks the sources' format, builds every flavour with warnings as errors and
# runs its tests (the CI command, .ci/run):
#   0. the format of every C++ file (.clang-format);
#   1. native (Linux, g++): the headless suite;
#   2. x86-64 Windows: its suite under 64-bit Wine, which every x86-64 host runs;
#   3. i686 Windows, the program that ships for Windows 2000 to 11: its suite
#      under 32-bit Wine wherever that runs (scripts/wine-host.sh): natively
#      where the host runs 32-bit code, else under qemu-i386 in a private
#      namespace, each test in its own.  Where neither works the program is
#      still built and checked from its files alone (ctest -L static: PE32,
#      system DLLs only, subsystem version, no debug sections, size), and one
#      line says that its suite did not run, and why;
#   4. the release: the i686 program, built as scripts/release.sh builds it
#      in a copy of these sources at another path, has the very bytes of the
#      one that step 3 built and tested; the archive, packed twice from the
#      tested programs, has the same bytes both times and the promised layout.
#      (The whole release built twice would add two x86-64 builds as well.)
#   5. the signed release: scripts/release.sh signs the tested programs with a
#      throw-away code-signing certificate; both verify against its throw-away
#      CA and keep the Authenticode digest of the unsigned build; a wrong
#      password, a certificate that is not for code signing and a half-set
#      signing input are refused with nothing packed; the signed i686 program
#      passes an end-to-end case wherever step 3 ran its suite, the x86-64 one
#      elsewhere.
#
# Build trees: build/native, build/windows-x64 and build/windows (or under
# $QUELVANE_BUILD_ROOT).  QUELVANE_64BIT_ONLY=1 takes the 64-bit-only path,
# and QUELVANE_32BIT_QEMU=1 the qemu road, on a host that runs 32-bit code too.
# Every suite runs even when an earlier one failed; the closing lines name
# each suite with its result, and the exit code is non-zero when any of them
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-host.sh || exit 2
scripts/install-deps.sh || exit

root=${QUELVANE_BUILD_ROOT:-build}
# Two jobs at most: the machines that run this are shared, and each Wine test
# brings its own wineserver and display.
jobs=$(nproc)
((jobs > 2)) && jobs=2

summary=()
failures=0
started=$SECONDS

# Record NAME RESULT SECONDS: one closing line.
Record() {
    summary+=("$(printf '%-44s %s (%d s)' "$1:" "$2" "$3")")
    [[ $2 == passed* ]] || failures=$((failures + 1))
}

# Suite NAME PRESET BUILD_DIR [CTEST_OPTIONS...]: configure, build, run ctest.
Suite() {
    local name="$1" preset="$2" dir="$3"
    shift 3
    local begin=$SECONDS
    echo
    echo "== $name"
    if ! cmake --preset "$preset" -B "$dir" -DQUELVANE_WERROR=ON -DQUELVANE_TESTS=ON >/dev/null; then
        Record "$name" "FAILED: cmake could not configure $dir" $((SECONDS - begin))
        return
    fi
    if ! cmake --build "$dir" -j"$jobs"; then
        Record "$name" "FAILED: the build failed" $((SECONDS - begin))
        return
    fi
    # The log is written by ctest itself, not read through a pipe: a Wine
    # process that outlived its test would hold a pipe open.
    local log="$dir/Testing/test-sh.log"
    mkdir -p "$dir/Testing"
    ctest --test-dir "$dir" -j"$jobs" --output-on-failure --no-tests=error --output-log "$log" "$@"
    local rc=$?
    local counts
    counts="$(grep -E 'tests passed|No tests were found' "$log" | tail -n1)"
    if ((rc == 0)); then
        Record "$name" "passed, ${counts:-ctest printed no count}" $((SECONDS - begin))
    else
        Record "$name" "FAILED, ${counts:-ctest exit code $rc}" $((SECONDS - begin))
    fi
}

# The sources keep one layout (.clang-format); a file that strays fails here.
FormatCheck() {
    local begin=$SECONDS files
    echo
    echo "== source format (clang-format)"
    mapfile -t files < <(git ls-files '*.cpp' '*.h' ':!cmake/googletest-win32')
    if ((${#files[@]} == 0)); then
        Record "source format (clang-format)" "FAILED: git listed no source files" $((SECONDS - begin))
    elif clang-format --dry-run --Werror --style=file "${files[@]}"; then
        Record "source format (clang-format)" "passed, ${#files[@]} files as .clang-format lays them out" \
            $((SECONDS - begin))
    else
        Record "source format (clang-format)" "FAILED: run clang-format -i on the files named above" \
            $((SECONDS - begin))
    fi
}

# Step 4 above.  Fails with the first difference found.
ReleaseCheck() {
    local name="release: reproducible program and archive" begin=$SECONDS
    local i686="$root/windows/app/Quelvane 2.exe" x64="$root/windows-x64/app/Quelvane 2.exe"
    local work="$root/release-check"
    local copy="$work/another path/quelvane"
    echo
    echo "== $name"
    rm -rf "$work" && mkdir -p "$copy" || { Record "$name" "FAILED: could not make $copy" 0; return; }
    # Files of the tree as it is, uncommitted changes included.
    git ls-files -z -co --exclude-standard | while IFS= read -r -d '' file; do
        [[ -e $file ]] && printf '%s\0' "$file"
    done | tar --null -cf - -T - | tar -xf - -C "$copy"
    if ! (cd "$copy" && cmake --preset windows -B build/release-windows -DQUELVANE_TESTS=OFF >/dev/null &&
        cmake --build build/release-windows -j"$jobs" --target quelvane2 >/dev/null); then
        Record "$name" "FAILED: the i686 program did not build in $copy" $((SECONDS - begin))
        return
    fi
    if ! cmp "$i686" "$copy/build/release-windows/app/Quelvane 2.exe"; then
        Record "$name" "FAILED: the i686 program built at another path differs" $((SECONDS - begin))
        return
    fi
    local archive
    if ! bash scripts/release.sh --package "$i686" "$x64" "$work/first" || ! sleep 1 ||
        ! bash scripts/release.sh --package "$i686" "$x64" "$work/second"; then
        Record "$name" "FAILED: scripts/release.sh --package failed" $((SECONDS - begin))
        return
    fi
    archive=$(cd "$work/first" && echo quelvane-*.zip)
    local problem=""
    if ! cmp "$work/first/$archive" "$work/second/$archive"; then
        problem="the archive packed twice differs"
    elif [[ $(unzip -Z1 "$work/first/$archive" | tr '\n' '|') != "Quelvane 2.exe|README.txt|x64/Quelvane 2.exe|PolicyDefinitions/Quelvane2.admx|PolicyDefinitions/en-US/Quelvane2.adml|" ]]; then
        problem="the archive holds $(unzip -Z1 "$work/first/$archive" | tr '\n' ' ')"
    elif ! unzip -p "$work/first/$archive" "Quelvane 2.exe" | cmp - "$i686" ||
        ! unzip -p "$work/first/$archive" "x64/Quelvane 2.exe" | cmp - "$x64"; then
        problem="a program in the archive is not the one built"
    elif ! unzip -p "$work/first/$archive" PolicyDefinitions/Quelvane2.admx | cmp - group_policy/Quelvane2.admx ||
        ! unzip -p "$work/first/$archive" PolicyDefinitions/en-US/Quelvane2.adml | cmp - group_policy/en-US/Quelvane2.adml; then
        problem="the Group Policy template in the archive is not the one tested"
    elif unzip -p "$work/first/$archive" README.txt | grep -q $'[^\r]$\|^$'; then
        problem="README.txt has a line without CR LF"
    elif ! (cd "$work/first" && sha256sum --quiet -c SHA256SUMS); then
        problem="SHA256SUMS does not match the archive"
    fi
    if [[ -n $problem ]]; then
        Record "$name" "FAILED: $problem" $((SECONDS - begin))
    else
        Record "$name" "passed, i686 program alike from two paths, $archive alike twice" $((SECONDS - begin))
    fi
}

# The Authenticode digest that osslsigncode's verify prints: "Current" (the
# one that the signature signs) or "Calculated" (the file's own).
SignedDigest() { sed -n "s/^$1 message digest *: *\([0-9A-F]*\).*/\1/p" "$2" | head -n1; }

# Step 5 above.  The CA, the certificates and the password live in a temporary
# folder that nothing else sees and that is removed at the end.
SignedReleaseCheck() {
    local name="release: signed programs" begin=$SECONDS keys
    echo
    echo "== $name"
    if ! keys=$(mktemp -d "${TMPDIR:-/tmp}/quelvane-signing.XXXXXX"); then
        Record "$name" "FAILED: no temporary folder" 0
        return
    fi
    local problem program="x86-64 program"
    QuelvaneHostRuns32Bit && program="i686 program"
    problem=$(SignedReleaseProblem "$keys")
    rm -rf "$keys"
    if [[ -n $problem ]]; then
        Record "$name" "FAILED: $problem" $((SECONDS - begin))
    else
        Record "$name" "passed, both verify, digests of the unsigned build, bad input refused, e2e of the $program" \
            $((SECONDS - begin))
    fi
}

# Prints what went wrong, nothing when all is well; the steps' output goes to
# stderr.
SignedReleaseProblem() {
    local keys=$1 i686="$root/windows/app/Quelvane 2.exe" x64="$root/windows-x64/app/Quelvane 2.exe"
    local work="$root/release-check/signed" archive
    rm -rf "$work" && mkdir -p "$work" || { echo "could not make $work"; return; }
    # A CA of two days and two certificates that it issues: one for code
    # signing, one for a web server only.
    printf '%s\n' "[signer]" "keyUsage = critical,digitalSignature" "extendedKeyUsage = codeSigning" \
        "[server]" "keyUsage = critical,digitalSignature" "extendedKeyUsage = serverAuth" >"$keys/uses.cnf"
    openssl rand -hex 16 >"$keys/password" && openssl rand -hex 16 >"$keys/wrong-password" &&
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/ca.key" -out "$keys/ca.crt" -days 2 \
            -subj "/CN=Quelvane throw-away test CA" -addext "basicConstraints=critical,CA:TRUE" \
            -addext "keyUsage=critical,keyCertSign" 2>/dev/null || { echo "openssl could not make the CA"; return; }
    local use
    for use in signer server; do
        openssl req -newkey rsa:2048 -nodes -keyout "$keys/$use.key" -out "$keys/$use.csr" \
            -subj "/CN=Quelvane throw-away $use" 2>/dev/null &&
            openssl x509 -req -in "$keys/$use.csr" -CA "$keys/ca.crt" -CAkey "$keys/ca.key" -set_serial "0x$RANDOM" \
                -days 2 -extfile "$keys/uses.cnf" -extensions "$use" -out "$keys/$use.crt" 2>/dev/null &&
            openssl pkcs12 -export -inkey "$keys/$use.key" -in "$keys/$use.crt" -out "$keys/$use.pfx" \
                -passout "file:$keys/password" || { echo "openssl could not make the $use certificate"; return; }
    done

    # Bad input: refused, nothing packed.
    local bad
    for bad in "wrong password:QUELVANE_SIGN_PFX=$keys/signer.pfx QUELVANE_SIGN_PASSWORD_FILE=$keys/wrong-password" \
        "web server certificate:QUELVANE_SIGN_PFX=$keys/server.pfx QUELVANE_SIGN_PASSWORD_FILE=$keys/password" \
        "no password file:QUELVANE_SIGN_PFX=$keys/signer.pfx"; do
        # shellcheck disable=SC2086 # the variables, one word each
        if env ${bad#*:} bash scripts/release.sh --package "$i686" "$x64" "$work/bad" >&2; then
            echo "release.sh signed with a ${bad%%:*}"
            return
        elif compgen -G "$work/bad/*.zip" >/dev/null; then
            echo "release.sh packed with a ${bad%%:*}"
            return
        fi
    done

    if ! QUELVANE_SIGN_PFX="$keys/signer.pfx" QUELVANE_SIGN_PASSWORD_FILE="$keys/password" \
        bash scripts/release.sh --package "$i686" "$x64" "$work" >"$work/release.log" 2>&1; then
        cat "$work/release.log" >&2
        echo "release.sh could not sign"
        return
    fi
    if grep -qF -f "$keys/password" "$work/release.log"; then
        echo "release.sh showed the password"
        return
    fi
    archive=$(cd "$work" && echo quelvane-*.zip)
    if ! (cd "$work" && sha256sum --quiet -c SHA256SUMS >&2); then
        echo "SHA256SUMS does not match the signed archive"
        return
    fi
    local program built signed unsigned
    for program in "Quelvane 2.exe" "x64/Quelvane 2.exe"; do
        built=$i686
        [[ $program == x64/* ]] && built=$x64
        signed="$work/${program//\//-}"
        unzip -p "$work/$archive" "$program" >"$signed"
        if ! osslsigncode verify -CAfile "$keys/ca.crt" -in "$signed" >"$signed.verify" 2>&1; then
            cat "$signed.verify" >&2
            echo "$program does not verify against the throw-away CA"
            return
        fi
        unsigned=$(python3 scripts/authenticode-digest.py "$built") || { echo "no digest of $built"; return; }
        unsigned=${unsigned%% *}
        echo "$program: signed $(SignedDigest Current "$signed.verify"), unsigned build $unsigned" >&2
        if [[ $(SignedDigest Current "$signed.verify") != "$unsigned" ||
            $(SignedDigest Calculated "$signed.verify") != "$unsigned" ]]; then
            echo "$program signed has another Authenticode digest than the unsigned build"
            return
        elif ! grep -q "Text description: Quelvane 2\$" "$signed.verify" ||
            ! grep -qF "URL description: http://www.tessmor.example/" "$signed.verify" ||
            ! grep -q "Message digest algorithm *: SHA256" "$signed.verify"; then
            echo "$program's signature lacks SHA-256, the description or the web address"
            return
        fi
    done

    # The signed program that this host runs, through one end-to-end case.
    local tree="$root/windows-x64" runnable="$work/x64-Quelvane 2.exe"
    if QuelvaneHostRuns32Bit; then tree="$root/windows" runnable="$work/Quelvane 2.exe"; fi
    if ! QUELVANE_E2E_PROGRAM=$(realpath "$runnable") ctest --test-dir "$tree" --output-on-failure --no-tests=error \
        -R '^e2e_SaveWithoutAStoredPasswordWritesThePoliciesTheSettingsAndThePassword$' >&2; then
        echo "the signed program failed its end-to-end case in $tree"
    fi
}

FormatCheck
Suite "native suite (Linux)" native "$root/native"
Suite "x86-64 Windows suite (64-bit Wine)" windows-x64 "$root/windows-x64"
if QuelvaneHostRuns32Bit; then
    echo
    echo "i686 Windows suite with $QUELVANE_32BIT_WINE: $QUELVANE_32BIT_WHY."
    Suite "i686 Windows suite ($QUELVANE_32BIT_WINE)" windows "$root/windows"
    notRun=""
else
    Suite "i686 Windows static checks (no Wine)" windows "$root/windows" -L static
    notRun="The i686 Windows suite did not run: $QUELVANE_HOST_32BIT_REASON."
fi
ReleaseCheck
SignedReleaseCheck

echo
echo "== Results ($((SECONDS - started)) s in all)"
printf '%s\n' "${summary[@]}"
[[ -n $notRun ]] && echo "$notRun"
if ((failures > 0)); then
    echo "$failures of ${#summary[@]} FAILED."
    exit 1
fi
echo "All ${#summary[@]} passed."
