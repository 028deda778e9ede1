# `vanto pay` and `vanto web --headless` as processes, against their built-in sandbox: card data
# from standard input, the outcome record as JSON on the last line of standard output, the exit
# statuses, bad usage on one line of standard error naming the option but never a card value, and
# no card data in clear on either stream.

set(card 4000000000000002)
set(declined 4000000000000010)
set(expiry 11/31)
set(cvv 9184)
set(typed "${card}\n${expiry}\n${cvv}\n")
set(from_input --card - --expiry - --cvv -)
include(${CMAKE_CURRENT_LIST_DIR}/CardDataWatch.cmake)
set(CARD_DATA_SECRETS ${cvv} ${expiry} 3111 1131)
set(license_file ${WORK_DIR}/license.txt)
file(WRITE ${license_file} "sandbox-signing-credential\nnot the credential\n")

# Bad usage: status 2, nothing on standard output, and one line on standard error that says
# `text` (naming the option) and repeats no card value given, as argument or on standard input.
function(expect_usage text input)
    run("${input}" ${ARGN})
    string(REGEX MATCHALL "\n" lines "${stderr}")
    list(LENGTH lines line_count)
    string(FIND "${stderr}" "${text}" text_at)
    if(NOT status EQUAL 2 OR NOT stdout STREQUAL "" OR NOT line_count EQUAL 1 OR text_at EQUAL -1)
        message(FATAL_ERROR "vanto ${ARGN} should say \"${text}\": status ${status}\nstdout: ${stdout}\nstderr: ${stderr}")
    endif()
    foreach(value 4000000000000003 13/31 12 ${cvv} LICENCIA-SECRETA)
        string(FIND "${stderr}" "${value}" value_at)
        if(NOT value_at EQUAL -1)
            message(FATAL_ERROR "vanto ${ARGN} repeated a card value (${value}): ${stderr}")
        endif()
    endforeach()
endfunction()

# A journal of this run's own: an order pays once, and each payment below has an order of its own.
set(ENV{XDG_STATE_HOME} ${WORK_DIR}/state-payments)
file(REMOVE_RECURSE ${WORK_DIR}/state-payments)

# The cases of bad usage, read as rows.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../data/cli-usage.txt usage_rows REGEX "^[^#]")

foreach(command "pay" "web;--headless")
    string(REGEX REPLACE ";.*" "" flow "${command}")
    # All three lines from standard input, in the order card, expiry, security code.
    run("${typed}" ${command} ${from_input} --amount 19.99 --order CLI1-${flow})
    expect("${command} accepted" 0 "^\\{\"code\":0,\"desc\":\"[^\"]*\",.*\"Ds_Amount\":\"1999\",.*\\}$")
    # Against the built-in sandbox, card data may be arguments; the lines go to the options given
    # as -, in order.
    run("${expiry}\n${cvv}\n" ${command} --card ${declined} --expiry - --cvv - --amount 0.29 --order CLI2-${flow})
    expect("${command} declined" 1 "^\\{\"code\":78,\"desc\":\"0?190\"\\}$")
    run("${typed}" ${command} ${from_input} --amount -1 --order CLI3)
    expect("${command} negative amount" 1 "^\\{\"code\":5548,\"desc\":\"El importe tiene que ser igual o mayor de 0,00\"\\}$")

    foreach(row IN LISTS usage_rows)
        string(CONFIGURE "${row}" row)
        string(REPLACE "\\n" "\n" row "${row}")
        string(REGEX MATCH "^([^|]*)[|]([^|]*)[|](.*)$" parts "${row}")
        separate_arguments(arguments UNIX_COMMAND "${CMAKE_MATCH_2}")
        expect_usage("${CMAKE_MATCH_3}" "${CMAKE_MATCH_1}" ${command} ${arguments})
    endforeach()

    run("${typed}" ${command} ${from_input} --amount 1 --order CLI5 --unknown ${card})
    if(NOT status EQUAL 2)
        message(FATAL_ERROR "${command} with an unknown option: status ${status}")
    endif()
endforeach()

# A gateway on this machine by its numbers, or localhost, needs no --allow-network: the payment
# goes there (nothing listens on port 1: a connection error).
foreach(gateway "127.0.0.1:1" "127.9.8.7:1" "[::1]:1" "localhost:1")
    run("${typed}" pay ${from_input} --amount 1 --order CLI6 --environment test --gateway ${gateway}
        --license-file ${license_file})
    expect("pay through ${gateway}" 1 "^\\{\"code\":5550,")
endforeach()

# `vanto web` with a window takes no card data, and needs a display (this test runs without one).
run("" web --card - --amount 1 --order CLI7)
if(NOT status EQUAL 2 OR NOT stderr MATCHES "--headless")
    message(FATAL_ERROR "web with a window and --card: status ${status}\n${stderr}")
endif()
run("" web --amount 1 --order CLI7)
if(NOT status EQUAL 3 OR NOT stderr MATCHES "no display")
    message(FATAL_ERROR "web with a window and no display: status ${status}\n${stderr}")
endif()
expect_usage("--license takes no credential as an argument outside the built-in sandbox" ""
             web --license LICENCIA-SECRETA --amount 1 --order CLI7 --environment test --gateway 127.0.0.1:1)

# A stored card: asked for with REQUIRED, then used without card data.
run("${typed}" pay ${from_input} --amount 5 --order CLI8 --identifier REQUIRED)
expect("pay asking for a reference" 0 "\"Ds_Merchant_Identifier\":\"[0-9a-f]+\"")
string(JSON reference GET "${out}" Ds_Merchant_Identifier)
# Each run has a sandbox of its own, which does not know the reference of another: refused 9904.
run("" pay --amount 5 --order CLI9 --identifier ${reference})
expect("pay with a reference unknown to a fresh sandbox" 1 "^\\{\"code\":9904,")
run("${typed}" pay --card - --amount 5 --order CLI10 --identifier ${reference})
expect("pay with card data and a reference" 2 "")

run("" pay --help)
if(NOT status EQUAL 0 OR NOT stdout MATCHES "standard input")
    message(FATAL_ERROR "pay --help does not say how card data are given:\n${stdout}")
endif()

# The signing credential comes from --license-file (its first line), from standard input before
# the card data (--license -), or from VANTO_LICENSE, which the options outrank. A wrong one is
# refused by the sandbox (9903 "Firma incorrecta"): each run shows which credential signed.
set(ENV{VANTO_LICENSE} "LICENCIA-EQUIVOCADA")
run("${typed}" pay ${from_input} --amount 1 --order CLI11)
expect("pay signed with VANTO_LICENSE" 1 "^\\{\"code\":9903,")
run("${typed}" pay ${from_input} --amount 1 --order CLI12 --license-file ${license_file})
expect("pay signed with --license-file" 0 "^\\{\"code\":0,")
run("sandbox-signing-credential\n${typed}" pay --license - ${from_input} --amount 1 --order CLI13)
expect("pay signed with --license -" 0 "^\\{\"code\":0,")
unset(ENV{VANTO_LICENSE})

# A refusal whose text quotes the request, card data and all (FAULT_ECHO): the record prints it
# masked (run checks both streams), and the journal keeps it masked, in what it shows and in its
# files.
set(echo_journal ${WORK_DIR}/echo.sqlite)
file(REMOVE ${echo_journal} ${echo_journal}-wal ${echo_journal}-shm)
run("${typed}" pay ${from_input} --amount 1 --order CLI14-FAULT_ECHO --journal ${echo_journal})
expect("pay refused with the request quoted" 1 "^\\{\"code\":9999,\"desc\":\"datoEntrada=.*DS_MERCHANT_PAN")
run("" journal show CLI14-FAULT_ECHO --json --journal ${echo_journal})
string(JSON text ERROR_VARIABLE no_text GET "${stdout}" 0 outcome text)
if(NOT status EQUAL 0 OR NOT text MATCHES "DS_MERCHANT_PAN")
    message(FATAL_ERROR "journal show of the refusal that quotes the request:\n${stdout}\n${stderr}")
endif()
watch_card_data_in_journal(${echo_journal})
