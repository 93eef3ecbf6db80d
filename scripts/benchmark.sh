#!/bin/bash
# Builds the benchmarks of the Windows build and runs them under Wine, each in
# a throw-away copy of the build tree's Wine prefix, and prints their tables.
#
#   scripts/benchmark.sh [BUILD_DIR]          BUILD_DIR defaults to build/windows
#
# BUILD_DIR may be an x86-64 tree too (cmake --preset windows-x64): its
# programs run under 64-bit Wine.
#
# 1. wmi_registry_benchmark: each of the eight registry operations through
#    WmiRegistryProvider against the same StdRegProv call written out plainly,
#    both with a new connection per call; then the main window's whole save.
# 2. startup_benchmark: "Quelvane 2.exe" (no password stored, so the main
#    window comes directly), startup_floor.exe (the platform's share of the
#    same start-up work, with the same manifest: the reference) and
#    startup_floor_windows.exe (the floor with the program's two windows made
#    plainly: the platform's price for them) and minimal_dialog.exe, from
#    CreateProcessW to the visible top-level window,
#    on a private virtual display (Xvfb), then the floors' phases (the
#    program carries no trace: it is timed from outside only).  All are
#    copied into a temporary folder first, since the program writes its
#    manifest next to itself on its first start.
#
# Configures BUILD_DIR with the windows preset when it has no CMake cache yet.
# Environment: QUELVANE_BENCH_REPETITIONS (calls of each registry operation per
# side, default 200), QUELVANE_BENCH_STARTS (timed starts per program, default
# 15), QUELVANE_BENCH_EARLIER (the path of an earlier build's Quelvane 2.exe,
# timed in the same run as "Quelvane 2 (earlier).exe").  Both prefixes report
# Windows XP, the program's own platform.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/windows}"
repetitions="${QUELVANE_BENCH_REPETITIONS:-200}"
starts="${QUELVANE_BENCH_STARTS:-15}"
earlier="${QUELVANE_BENCH_EARLIER:-}"

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake --preset windows -B "$build" >/dev/null
fi
# Two jobs at most: the machines that run this are shared.
cmake --build "$build" -j2 \
    --target wmi_registry_benchmark startup_benchmark startup_floor startup_floor_windows minimal_dialog quelvane2 >/dev/null
build="$(realpath "$build")"
source scripts/wine-host.sh
arch="$(QuelvaneBuildWineArch "$build")"
runner=("$PWD/cmake/wine-test.sh" --arch "$arch")

# Wine's drive Z: is the Unix root.
WindowsPath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== Registry provider (wmi_registry_benchmark)"
"${runner[@]}" --state "$build/wine" --windows-version winxp --timeout 900 -- \
    "$build/benchmarks/wmi_registry_benchmark.exe" "$repetitions" --with-save

echo
echo "== Start-up to the main window (startup_benchmark)"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/quelvane-startup.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
cp "$build/app/Quelvane 2.exe" "$build/benchmarks/startup_floor.exe" "$build/benchmarks/startup_floor_windows.exe" \
    "$build/benchmarks/minimal_dialog.exe" "$scratch/"
programs=("Quelvane 2" "$(WindowsPath "$scratch/Quelvane 2.exe")")
if [[ -n $earlier ]]; then
    cp "$earlier" "$scratch/Quelvane 2 (earlier).exe"
    programs+=("Quelvane 2" "$(WindowsPath "$scratch/Quelvane 2 (earlier).exe")")
fi
programs+=(--reference --manifest --traced "Startup Floor" "$(WindowsPath "$scratch/startup_floor.exe")")
programs+=(--manifest --traced "Startup Floor Windows" "$(WindowsPath "$scratch/startup_floor_windows.exe")")
programs+=("Minimal Dialog" "$(WindowsPath "$scratch/minimal_dialog.exe")")
"${runner[@]}" --state "$build/wine" --display xvfb --windows-version winxp --timeout 900 -- \
    "$build/benchmarks/startup_benchmark.exe" --count "$starts" "${programs[@]}"
