# Runs `vanto demo` against its in-process sandbox: the three payments must end as the test cards
# say, each on one line, and with --traces no card data may appear in clear in the traces.
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
if("${out}${err}" MATCHES "4000000000000002|4000000000000010|CVV2[^,]*123|\"3012|12/30")
    message(FATAL_ERROR "vanto demo printed card data in clear:\n${out}\n${err}")
endif()
