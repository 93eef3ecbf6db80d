# Fails when a built Windows executable is not what its target Windows starts,
# read from its headers alone (no Wine needed):
#   - its format is not FORMAT (PE32 for i686, PE32+ for x86-64);
#   - its subsystem version is above MAX_SUBSYSTEM_VERSION (Windows 2000 is 5.0:
#     it refuses a program that asks for more);
#   - a section's name matches FORBIDDEN_SECTIONS (default: DWARF debug sections,
#     which a release does not ship; empty: any section);
#   - it is larger than MAX_BYTES, when given.
#
#   cmake -DOBJDUMP=i686-w64-mingw32-objdump -DPROGRAM=app.exe -DFORMAT=PE32 -DMAX_SUBSYSTEM_VERSION=5.0
#         [-DFORBIDDEN_SECTIONS=regex] [-DMAX_BYTES=614400] -P check-windows-program.cmake
#
# Every offence is listed, in the order above.
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP PROGRAM FORMAT MAX_SUBSYSTEM_VERSION)
    if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
        message(FATAL_ERROR "check-windows-program: ${required} is not set")
    endif()
endforeach()
if(NOT FORMAT MATCHES "^PE32\\+?$")
    message(FATAL_ERROR "check-windows-program: FORMAT must be PE32 or PE32+, not '${FORMAT}'")
endif()
if(NOT MAX_SUBSYSTEM_VERSION MATCHES "^[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR
        "check-windows-program: MAX_SUBSYSTEM_VERSION must read MAJOR.MINOR, not '${MAX_SUBSYSTEM_VERSION}'")
endif()
if(DEFINED MAX_BYTES AND NOT MAX_BYTES MATCHES "^[0-9]+$")
    message(FATAL_ERROR "check-windows-program: MAX_BYTES must be a whole number, not '${MAX_BYTES}'")
endif()
if(NOT DEFINED FORBIDDEN_SECTIONS)
    set(FORBIDDEN_SECTIONS "^\\.debug")
endif()
if(NOT EXISTS "${PROGRAM}")
    message(FATAL_ERROR "check-windows-program: ${PROGRAM} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}"
    OUTPUT_VARIABLE headers ERROR_VARIABLE headersError RESULT_VARIABLE headersResult)
execute_process(COMMAND "${OBJDUMP}" -h "${PROGRAM}"
    OUTPUT_VARIABLE sections ERROR_VARIABLE sectionsError RESULT_VARIABLE sectionsResult)
if(NOT headersResult EQUAL 0 OR NOT sectionsResult EQUAL 0)
    message(FATAL_ERROR "check-windows-program: ${OBJDUMP} could not read ${PROGRAM}: ${headersError}${sectionsError}")
endif()

set(offences "")

# "Magic  010b  (PE32)" or "Magic  020b  (PE32+)"
if(headers MATCHES "\nMagic[ \t]+[0-9a-fA-F]+[ \t]+\\((PE32\\+?)\\)")
    set(format "${CMAKE_MATCH_1}")
else()
    set(format "unknown")
endif()
if(NOT format STREQUAL FORMAT)
    string(APPEND offences "\n  format ${format}, not ${FORMAT}")
endif()

if(headers MATCHES "\nMajorSubsystemVersion[ \t]+([0-9]+)" )
    set(major "${CMAKE_MATCH_1}")
    if(headers MATCHES "\nMinorSubsystemVersion[ \t]+([0-9]+)")
        set(subsystem "${major}.${CMAKE_MATCH_1}")
        if(subsystem VERSION_GREATER MAX_SUBSYSTEM_VERSION)
            string(APPEND offences "\n  subsystem version ${subsystem}, above ${MAX_SUBSYSTEM_VERSION}")
        endif()
    endif()
endif()
if(NOT DEFINED subsystem)
    string(APPEND offences "\n  subsystem version not found in the headers")
endif()

# objdump -h: "  9 .debug_info   00008b94  0040c000 ..." per section.
string(REGEX MATCHALL "\n +[0-9]+ +[^ \n]+" sectionLines "${sections}")
if(NOT sectionLines)
    string(APPEND offences "\n  no section found")
endif()
foreach(line IN LISTS sectionLines)
    string(REGEX REPLACE "^\n +[0-9]+ +" "" name "${line}")
    if(NOT FORBIDDEN_SECTIONS STREQUAL "" AND name MATCHES "${FORBIDDEN_SECTIONS}")
        string(APPEND offences "\n  section ${name}")
    endif()
endforeach()

if(DEFINED MAX_BYTES)
    file(SIZE "${PROGRAM}" bytes)
    if(bytes GREATER MAX_BYTES)
        string(APPEND offences "\n  ${bytes} bytes, more than ${MAX_BYTES}")
    endif()
endif()

if(offences)
    message(FATAL_ERROR "check-windows-program: ${PROGRAM}:${offences}")
endif()
set(notes "${format}, subsystem version ${subsystem} (at most ${MAX_SUBSYSTEM_VERSION})")
if(NOT FORBIDDEN_SECTIONS STREQUAL "")
    string(APPEND notes ", no section matching ${FORBIDDEN_SECTIONS}")
endif()
if(DEFINED MAX_BYTES)
    string(APPEND notes ", ${bytes} bytes (at most ${MAX_BYTES})")
endif()
message(STATUS "check-windows-program: ${PROGRAM}: ${notes}")
