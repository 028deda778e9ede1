# Runs `vanto demo` against its in-process sandbox: both payments and the signature request must
# get their answers, and no card number may appear in clear anywhere in the output.
execute_process(COMMAND ${VANTO} demo RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "vanto demo failed (${status}):\n${out}\n${err}")
endif()
foreach(expected "card ending in 0002: code 0, Ds_Response 0000" "card ending in 0010: code 0, Ds_Response 0190"
                 "signed with HMAC_SHA256_V1" "====== REQUEST ======" "====== RESPONSE ======")
    string(FIND "${out}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "vanto demo did not print \"${expected}\":\n${out}")
    endif()
endforeach()
if(out MATCHES "4000000000000002|4000000000000010|CVV2[^,]*123")
    message(FATAL_ERROR "vanto demo printed card data in clear:\n${out}")
endif()
