# Fails when a neutral library reaches, through its link libraries, anything
# but other neutral libraries (a Win32 library, a Windows system library), or
# compiles a file of a win32/ folder.  The build writes what each library of
# the project links and compiles (tests/windows/CMakeLists.txt); this reads
# it, following the links from library to library.
#
#   cmake -DLAYERS_DIR=build/layers -DCHECKED=quelvane_registry,... -DNEUTRAL=quelvane_text,...
#         -P check-layers.cmake
#
# CHECKED: the libraries to follow; NEUTRAL: the libraries they may reach.
cmake_minimum_required(VERSION 3.25)

foreach(required LAYERS_DIR CHECKED NEUTRAL)
    if(NOT ${required})
        message(FATAL_ERROR "check-layers: ${required} is not set")
    endif()
endforeach()

string(REPLACE "," ";" CHECKED "${CHECKED}")
string(REPLACE "," ";" NEUTRAL "${NEUTRAL}")
set(offences "")
foreach(start IN LISTS CHECKED)
    set(pending ${start})
    set(seen "")
    while(pending)
        list(POP_FRONT pending library)
        if(library IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${library})
        if(NOT library IN_LIST NEUTRAL)
            list(APPEND offences "${start} reaches ${library}")
            continue()
        endif()
        set(description "${LAYERS_DIR}/${library}.txt")
        if(NOT EXISTS "${description}")
            message(FATAL_ERROR "check-layers: no description of ${library} in ${LAYERS_DIR}")
        endif()
        file(STRINGS "${description}" lines)
        foreach(line IN LISTS lines)
            if(line MATCHES "^links=(.*)$")
                string(REPLACE "," ";" links "${CMAKE_MATCH_1}")
                list(APPEND pending ${links})
            elseif(line MATCHES "^sources=(.*)$")
                string(REPLACE "," ";" sources "${CMAKE_MATCH_1}")
                foreach(source IN LISTS sources)
                    if(source MATCHES "(^|/)win32/")
                        list(APPEND offences "${library} compiles ${source}")
                    endif()
                endforeach()
            endif()
        endforeach()
    endwhile()
endforeach()

if(offences)
    list(REMOVE_DUPLICATES offences)
    string(REPLACE ";" "\n  " text "${offences}")
    message(FATAL_ERROR "check-layers: a neutral library reaches the platform:\n  ${text}")
endif()
list(LENGTH CHECKED count)
message(STATUS "check-layers: ${count} neutral libraries link and compile nothing of Win32")
