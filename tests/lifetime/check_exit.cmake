# Runs the program that ends while payments are in flight, RUNS times for each way of ending
# (returning from main, calling exit) and for a spread of outcomes waited for, and fails on any
# non-zero status or sanitizer report, or card data in clear in what it printed.
include(${CMAKE_CURRENT_LIST_DIR}/../cli/CardDataWatch.cmake)
set(CARD_DATA_SECRETS 3012 1230 12/30)
foreach(how return exit)
    foreach(run RANGE 1 ${RUNS})
        math(EXPR waitFor "${run} % 9")
        execute_process(COMMAND ${PROGRAM} ${how} ${waitFor}
                        RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE errors
                        TIMEOUT 60)
        if(NOT status EQUAL 0 OR errors MATCHES "Sanitizer|runtime error")
            message(FATAL_ERROR "ending by ${how} after ${waitFor} outcomes, run ${run}: "
                                "status ${status}\n${errors}")
        endif()
        watch_card_data("what the program printed ending by ${how}" "${printed}${errors}")
    endforeach()
endforeach()
