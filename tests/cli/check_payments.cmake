# `vanto pay` and `vanto web --headless` as processes, against their built-in sandbox: the outcome
# record as JSON on the last line of standard output, the exit statuses, bad usage on one line of
# standard error naming the option but never its value, and no card data in clear on either
# stream.

set(card 4000000000000002)
set(declined 4000000000000010)
set(expiry 11/31)
set(cvv 918)

# Runs the tool with the arguments that follow; sets status, out (last line) and all output.
function(run)
    execute_process(COMMAND ${VANTO} ${ARGN} INPUT_FILE ${CVV_FILE}
                    RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr TIMEOUT 120)
    string(STRIP "${stdout}" stripped)
    string(REGEX REPLACE ".*\n" "" last "${stripped}")
    set(status "${status}" PARENT_SCOPE)
    set(out "${last}" PARENT_SCOPE)
    set(stderr "${stderr}" PARENT_SCOPE)
    foreach(secret ${card} ${declined} ${expiry} "\"3111" "\\\\\"3111" "CVV2\\\\\":\\\\\"${cvv}" "\"${cvv}\"")
        string(FIND "${stdout}${stderr}" "${secret}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "vanto ${ARGN} printed card data in clear (${secret}):\n${stdout}\n${stderr}")
        endif()
    endforeach()
endfunction()

function(expect what expected_status expected_out)
    if(NOT status EQUAL expected_status OR NOT out MATCHES "${expected_out}")
        message(FATAL_ERROR "${what}: status ${status}, last line ${out}\n${stderr}")
    endif()
endfunction()

set(CVV_FILE ${WORK_DIR}/cvv.txt)
file(WRITE ${CVV_FILE} "${cvv}\n")

foreach(command "pay" "web;--headless")
    set(card_options --card ${card} --expiry ${expiry} --cvv ${cvv})
    run(${command} ${card_options} --amount 19.99 --order CLI1)
    expect("${command} accepted" 0 "^\\{\"code\":0,\"desc\":\"[^\"]*\",.*\"Ds_Amount\":\"1999\",.*\\}$")
    run(${command} --card ${declined} --expiry ${expiry} --cvv - --amount 0.29 --order CLI2)
    expect("${command} declined, security code from standard input" 1
           "^\\{\"code\":78,\"desc\":\"0?190\"\\}$")
    run(${command} ${card_options} --amount -1 --order CLI3)
    expect("${command} negative amount" 1 "^\\{\"code\":5548,\"desc\":\"El importe tiene que ser igual o mayor de 0,00\"\\}$")

    # Bad usage: one line naming the option, never its value.
    foreach(case "--card;4000000000000003;--card" "--expiry;13/31;--expiry" "--cvv;12;--cvv"
                 "--amount;diez;--amount" "--type;cash;--type")
        list(GET case 0 option)
        list(GET case 1 value)
        list(GET case 2 named)
        set(arguments --card ${card} --expiry ${expiry} --cvv ${cvv} --amount 1 --order CLI4)
        list(FIND arguments ${option} at)
        if(at EQUAL -1)
            list(APPEND arguments ${option} ${value})
        else()
            math(EXPR at "${at} + 1")
            list(REMOVE_AT arguments ${at})
            list(INSERT arguments ${at} ${value})
        endif()
        run(${command} ${arguments})
        string(FIND "${stderr}" "${named}" named_at)
        string(FIND "${stderr}" "${value}" value_at)
        string(REGEX MATCHALL "\n" lines "${stderr}")
        list(LENGTH lines line_count)
        if(NOT status EQUAL 2 OR named_at EQUAL -1 OR NOT value_at EQUAL -1 OR NOT line_count EQUAL 1)
            message(FATAL_ERROR "${command} ${option}: status ${status}, stderr:\n${stderr}")
        endif()
    endforeach()
    run(${command} ${card_options} --amount 1 --order CLI5 --unknown ${card})
    if(NOT status EQUAL 2)
        message(FATAL_ERROR "${command} with an unknown option: status ${status}")
    endif()
endforeach()

# A stored card: asked for with REQUIRED, then used without card data.
run(pay --card ${card} --expiry ${expiry} --cvv ${cvv} --amount 5 --order CLI6 --identifier REQUIRED)
expect("pay asking for a reference" 0 "\"Ds_Merchant_Identifier\":\"[0-9a-f]+\"")
string(JSON reference GET "${out}" Ds_Merchant_Identifier)
# Each run has a sandbox of its own, which does not know the reference of another: refused 9904.
run(pay --amount 5 --order CLI7 --identifier ${reference})
expect("pay with a reference unknown to a fresh sandbox" 1 "^\\{\"code\":9904,")
run(pay --card ${card} --amount 5 --order CLI8 --identifier ${reference})
expect("pay with card data and a reference" 2 "")
