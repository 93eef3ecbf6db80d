# Cross build for 32-bit Windows with MinGW-w64: the program for Windows 2000
# and XP, tested under 32-bit Wine (a host that runs 32-bit code):
#   cmake --preset windows -B build-win && cmake --build build-win -j2 && ctest --test-dir build-win -j2
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUELVANE_MINGW_PREFIX i686-w64-mingw32)
set(QUELVANE_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
