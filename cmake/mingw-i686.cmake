# Cross build for 32-bit Windows with MinGW-w64 (Debian's win32 thread model),
# tested under Wine:
#   cmake --preset windows -B build-win && cmake --build build-win -j2 && ctest --test-dir build-win -j2
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUELVANE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUELVANE_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUELVANE_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${QUELVANE_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${QUELVANE_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump that reads PE import tables")

set(CMAKE_FIND_ROOT_PATH /usr/${QUELVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The program targets Windows 2000 and XP: hold the SDK headers to the XP API
# so that nothing newer is called by accident, and use the wide-character API.
set(QUELVANE_WINDOWS_DEFINES "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -DUNICODE -D_UNICODE")
set(CMAKE_C_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES}")
set(CMAKE_CXX_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES}")
set(CMAKE_RC_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES}")

# libgcc, libstdc++ and the threading runtime are linked in: the executables
# may only need DLLs that Windows itself ships (the import check under
# tests/windows holds the list).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Every test program (and anything else CMake runs for the target) starts
# under Wine, in a throw-away copy of a prefix that is made once per build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-test.sh;--state;${CMAKE_BINARY_DIR}/wine")
