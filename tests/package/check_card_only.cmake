# A program that shows only the card-entry screen loads no Qt WebEngine library: ldd lists what
# it loads, Qt Widgets among it (so that the list is the program's whole), no libQt6WebEngine*.
#
# -DPROGRAM=<program>        the program
# -DLIBRARY_PATH=<folders>   where its shared libraries of ours are, when they are not installed
# -DRUN=ON                   runs it too (it must end with status 0)

cmake_policy(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARY_PATH} ldd ${PROGRAM}
                RESULT_VARIABLE status OUTPUT_VARIABLE loaded ERROR_VARIABLE loaded)
if(NOT status EQUAL 0 OR loaded MATCHES "not found")
    message(FATAL_ERROR "ldd could not list what ${PROGRAM} loads:\n${loaded}")
endif()
if(NOT loaded MATCHES "libQt6Widgets")
    message(FATAL_ERROR "${PROGRAM} loads no Qt Widgets, so it shows no card screen:\n${loaded}")
endif()
if(loaded MATCHES "libQt6WebEngine[A-Za-z]*")
    message(FATAL_ERROR "${PROGRAM}, which shows only the card-entry screen, loads "
                        "${CMAKE_MATCH_0}:\n${loaded}")
endif()

if(RUN)
    execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE out TIMEOUT 120)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} failed (${status}):\n${out}")
    endif()
endif()
message(STATUS "${PROGRAM}: loads Qt Widgets and no Qt WebEngine library")
