# What the two Windows toolchains share.  Each of them sets, then includes this:
#   QUELVANE_MINGW_PREFIX  i686-w64-mingw32 or x86_64-w64-mingw32 (Debian's win32 thread model)
#   QUELVANE_WINE_ARCH     win32 or win64: the Wine prefix its tests run in
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUELVANE_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUELVANE_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${QUELVANE_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${QUELVANE_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump that reads PE headers and import tables")

set(CMAKE_FIND_ROOT_PATH /usr/${QUELVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The program targets Windows 2000 and XP: hold the SDK headers to the XP API
# so that nothing newer is called by accident, and use the wide-character API.
# The x86-64 build keeps the same level, so that both builds compile the same
# calls.
set(QUELVANE_WINDOWS_DEFINES "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -DUNICODE -D_UNICODE")
# Every function and datum in a section of its own, so that a release link
# leaves out what the program never calls (see --gc-sections below).
set(CMAKE_C_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES} -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES} -ffunction-sections -fdata-sections")
set(CMAKE_RC_FLAGS_INIT "${QUELVANE_WINDOWS_DEFINES}")

# libgcc, libstdc++ and the threading runtime are linked in: the executables
# may only need DLLs that Windows itself ships (the import check under
# tests/windows holds the list).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
# Debian's static runtime libraries carry their DWARF sections, which made
# half of the unstripped program.  A release leaves them out, and the code
# that nothing reaches.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_RELEASE_INIT "-s -Wl,--gc-sections")
    set(CMAKE_${kind}_LINKER_FLAGS_MINSIZEREL_INIT "-s -Wl,--gc-sections")
endforeach()

# Scripts that run programs of a build tree (benchmarks, screenshots) read the
# architecture of its Wine prefix from the cache.
set(QUELVANE_WINE_ARCH ${QUELVANE_WINE_ARCH} CACHE INTERNAL "Wine prefix architecture: win32 or win64")

# Every test program (and anything else CMake runs for the target) starts
# under Wine, in a throw-away copy of a prefix of the build's own architecture
# that is made once per build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-test.sh;--arch;${QUELVANE_WINE_ARCH};--state;${CMAKE_BINARY_DIR}/wine")
