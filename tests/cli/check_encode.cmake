# Runs `vanto encode` on the sample orders and on bad input, checking output and exit status.
set(DATA ${CASES}/../data)

function(expect_encoding kind input expected_file)
    execute_process(COMMAND ${VANTO} encode ${kind} INPUT_FILE ${input}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    file(READ ${expected_file} expected)
    if(NOT status EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
        message(FATAL_ERROR "encode ${kind} ${input}: status ${status}\nstdout: ${out}\nstderr: ${err}")
    endif()
endfunction()

# Bad input: exit status 2, nothing on standard output, one line on standard error that does not
# repeat the card data.
function(expect_refusal kind json)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/bad-input.json "${json}")
    execute_process(COMMAND ${VANTO} encode ${kind} INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/bad-input.json
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX MATCHALL "\n" lines "${err}")
    list(LENGTH lines line_count)
    if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT line_count EQUAL 1 OR err MATCHES "4000000000001234")
        message(FATAL_ERROR "encode ${kind} should refuse ${json}: status ${status}\nstdout: ${out}\nstderr: ${err}")
    endif()
endfunction()

expect_encoding(direct ${CASES}/direct-example.json ${DATA}/direct-example.envelope)
expect_encoding(web ${CASES}/web-example.json ${DATA}/web-example.envelope)

set(config "\"configuration\":{\"appFuc\":\"1\"}")
set(direct_args "\"cvv2\":\"123\",\"expiryDate\":\"2912\",\"amount\":\"1\",\"orden\":\"1\",\"identifier\":\"\",\"directPayment\":\"true\",\"transactionType\":\"0\",\"productDescription\":\"x\"")
set(web_args "\"orderNumber\":\"1\",\"identifier\":\"\",\"directPayment\":\"false\",\"transactionType\":\"0\",\"productDescription\":\"x\"")
expect_refusal(direct "not json")
expect_refusal(direct "[1,2]")
expect_refusal(direct "{${config},${direct_args}}")
expect_refusal(direct "{${config},\"pan\":4000000000001234,${direct_args}}")
expect_refusal(direct "{\"pan\":\"4000000000001234\",${direct_args}}")
expect_refusal(direct "{\"configuration\":{\"appFuc\":1},\"pan\":\"4000000000001234\",${direct_args}}")
expect_refusal(direct "{\"configuration\":{\"appEnviroment\":7},\"pan\":\"4000000000001234\",${direct_args}}")
expect_refusal(direct "{\"configuration\":{\"appColour\":\"red\"},\"pan\":\"4000000000001234\",${direct_args}}")
expect_refusal(web "{${config},${web_args}}")
expect_refusal(web "{${config},\"amount\":\"19.99\",${web_args}}")
expect_refusal(web "{${config},\"amount\":1e300,${web_args}}")
expect_refusal(web "{${config},\"amount\":1.5,\"version\":2,${web_args}}")
