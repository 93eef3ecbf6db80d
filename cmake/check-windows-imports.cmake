# Fails when a built executable imports a DLL that Windows 2000/XP does not
# ship, e.g. a MinGW runtime DLL (libstdc++-6.dll, libgcc_s_dw2-1.dll,
# libwinpthread-1.dll) that a missing -static would bring in.
#
#   cmake -DOBJDUMP=i686-w64-mingw32-objdump -DBUILD_DIR=build [-DALLOWED=a.dll;b.dll] -P check-windows-imports.cmake
#
# Every *.exe under BUILD_DIR is read, except CMake's own probes and anything
# inside a Wine prefix (the test runner's, the run command's): Wine's own
# programs are no business of this build.
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP BUILD_DIR)
    if(NOT ${required})
        message(FATAL_ERROR "check-windows-imports: ${required} is not set")
    endif()
endforeach()

if(NOT DEFINED ALLOWED)
    # System DLLs present on every Windows 2000 and XP installation.
    set(ALLOWED
        KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll SHELL32.dll SHLWAPI.dll
        OLE32.dll OLEAUT32.dll RPCRT4.dll COMCTL32.dll COMDLG32.dll VERSION.dll
        WINMM.dll IMM32.dll msvcrt.dll)
endif()
string(TOUPPER "${ALLOWED}" allowedUpper)

file(GLOB topLevel LIST_DIRECTORIES true "${BUILD_DIR}/*")
set(executables "")
foreach(entry IN LISTS topLevel)
    get_filename_component(entryName "${entry}" NAME)
    # The test runner's and the run command's prefixes: not worth walking.
    if(entryName MATCHES "^(CMakeFiles|Testing|wine|run-prefix)$")
        continue()
    endif()
    if(IS_DIRECTORY "${entry}")
        file(GLOB_RECURSE found "${entry}/*.exe")
        list(FILTER found EXCLUDE REGEX "/CMakeFiles/|/drive_c/")
        list(APPEND executables ${found})
    elseif(entryName MATCHES "\\.[eE][xX][eE]$")
        list(APPEND executables "${entry}")
    endif()
endforeach()
list(LENGTH executables count)
if(count EQUAL 0)
    message(FATAL_ERROR "check-windows-imports: no executable found under ${BUILD_DIR}")
endif()

set(offences "")
foreach(executable IN LISTS executables)
    execute_process(COMMAND "${OBJDUMP}" -p "${executable}"
        OUTPUT_VARIABLE dump ERROR_VARIABLE dumpError RESULT_VARIABLE dumpResult)
    if(NOT dumpResult EQUAL 0)
        message(FATAL_ERROR "check-windows-imports: ${OBJDUMP} could not read ${executable}: ${dumpError}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
    if(NOT names)
        string(APPEND offences "\n  ${executable}: no import table found")
    endif()
    foreach(line IN LISTS names)
        string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
        string(STRIP "${dll}" dll)
        string(TOUPPER "${dll}" dllUpper)
        if(NOT dllUpper IN_LIST allowedUpper)
            string(APPEND offences "\n  ${executable}: ${dll}")
        endif()
    endforeach()
endforeach()

if(offences)
    message(FATAL_ERROR "check-windows-imports: DLLs outside the operating system's own:${offences}")
endif()
message(STATUS "check-windows-imports: ${count} executables import only system DLLs")
