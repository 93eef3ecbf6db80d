# Cross build for 64-bit Windows with MinGW-w64: the same program for x86-64,
# tested under 64-bit Wine, which every x86-64 Linux host runs (also one whose
# kernel runs no 32-bit code):
#   cmake --preset windows-x64 -B build-win64 && cmake --build build-win64 -j2 && ctest --test-dir build-win64 -j2
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUELVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(QUELVANE_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
