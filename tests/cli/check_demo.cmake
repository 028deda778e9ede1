# Runs `vanto demo` against its in-process sandbox: the three payments must end as the test cards
# say, each on one line, and with --traces no card data may appear in clear in the traces.
include(${CMAKE_CURRENT_LIST_DIR}/CardDataWatch.cmake)
set(CARD_DATA_SECRETS 3012 1230 12/30)
execute_process(COMMAND ${VANTO} demo --traces RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "vanto demo failed (${status}):\n${out}\n${err}")
endif()
foreach(expected "Direct payment, card ending in 0002:  ACCEPTED  authorisation [A-Z0-9]+, Ds_Response 0000"
                 "Direct payment, card ending in 0010:  REFUSED   code 78, \"0190\""
                 "Web payment on the payment page, card ending in 0002:  ACCEPTED  authorisation [A-Z0-9]+")
    if(NOT out MATCHES "${expected}")
        message(FATAL_ERROR "vanto demo did not print \"${expected}\":\n${out}")
    endif()
endforeach()
# Run again: each run pays orders of its own, which the journal kept from the last run never holds.
execute_process(COMMAND ${VANTO} demo RESULT_VARIABLE status OUTPUT_VARIABLE again
                ERROR_VARIABLE again_err TIMEOUT 60)
if(NOT status EQUAL 0 OR NOT again MATCHES "card ending in 0002:  ACCEPTED.*card ending in 0002:  ACCEPTED")
    message(FATAL_ERROR "vanto demo run again (${status}):\n${again}\n${again_err}")
endif()
foreach(expected "====== REQUEST ======" "====== RESPONSE ======" "Navigation Finish")
    string(FIND "${err}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "vanto demo --traces did not trace \"${expected}\":\n${err}")
    endif()
endforeach()
watch_card_data("what vanto demo printed" "${out}${err}${again}${again_err}")
