#!/bin/bash
# Builds both flavours and runs every test: the native suite on Linux, then
# the Windows build under Wine.  Build trees go to build/native and
# build/windows (or under $QUELVANE_BUILD_ROOT).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

root=${QUELVANE_BUILD_ROOT:-build}
jobs=$(nproc)

cmake --preset native -B "$root/native" -DQUELVANE_WERROR=ON -DQUELVANE_TESTS=ON
cmake --build "$root/native" -j"$jobs"
ctest --test-dir "$root/native" -j"$jobs" --output-on-failure

cmake --preset windows -B "$root/windows" -DQUELVANE_WERROR=ON -DQUELVANE_TESTS=ON
cmake --build "$root/windows" -j"$jobs"
ctest --test-dir "$root/windows" -j"$jobs" --output-on-failure
