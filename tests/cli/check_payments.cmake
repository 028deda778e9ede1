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

    set(order --order CLI4)
    expect_usage("--card is not a valid card number" "4000000000000003\n${expiry}\n${cvv}\n"
                 ${command} ${from_input} --amount 1 ${order})
    expect_usage("--expiry must be a month to come" "${card}\n13/31\n${cvv}\n"
                 ${command} ${from_input} --amount 1 ${order})
    expect_usage("--cvv must be 3 or 4 digits" "${card}\n${expiry}\n12\n"
                 ${command} ${from_input} --amount 1 ${order})
    expect_usage("--card: standard input ended before its line" ""
                 ${command} ${from_input} --amount 1 ${order})
    expect_usage("--cvv: standard input ended before its line" "${card}\n${expiry}\n"
                 ${command} ${from_input} --amount 1 ${order})
    expect_usage("--card is missing" "${expiry}\n${cvv}\n"
                 ${command} --expiry - --cvv - --amount 1 ${order})
    foreach(case "diez;--amount is not a number"
                 "nan;--amount must be a finite number" "Infinity;--amount must be a finite number"
                 "1e300;--amount is too large" "99999999999999999999;--amount is too large"
                 "92233720368547758.08;--amount is too large"
                 "19.999;--amount has more than two decimals")
        list(GET case 0 amount)
        list(GET case 1 text)
        expect_usage("${text}" "${typed}" ${command} ${from_input} --amount=${amount} ${order})
    endforeach()
    expect_usage("--type must be" "${typed}" ${command} ${from_input} --amount 1 --type cash ${order})

    # Where the payment goes: checked before any card data is read.
    set(pay_to_loopback --amount 1 ${order} --environment test --gateway 127.0.0.1:1)
    expect_usage("--environment must be test, integration or real" "${typed}"
                 ${command} ${from_input} --amount 1 ${order} --environment TEST)
    expect_usage("--gateway and --trust go with --environment" "${typed}"
                 ${command} ${from_input} --amount 1 ${order} --gateway 127.0.0.1:1)
    foreach(gateway "https://127.0.0.1:1" "127.0.0.1:1/zel" "127.0.0.1:0" "user@127.0.0.1")
        expect_usage("--gateway must be host or host:port" "${typed}"
                     ${command} ${from_input} --amount 1 ${order} --environment test --gateway ${gateway})
    endforeach()
    foreach(gateway "--gateway;127.attacker.example:1" "--gateway;localhost.example:1"
                    "--gateway;[::2]:1" "--gateway;128.0.0.1:1" "--gateway;127.1:1" "")
        expect_usage("add --allow-network" "${typed}"
                     ${command} ${from_input} --amount 1 ${order} --environment real ${gateway})
    endforeach()
    # Elsewhere than the built-in sandbox, card data come from standard input only.
    expect_usage("--card takes no card data as an argument outside the built-in sandbox" "${expiry}\n${cvv}\n"
                 ${command} --card 4000000000000003 --expiry - --cvv - ${pay_to_loopback})
    expect_usage("--cvv takes no card data as an argument outside the built-in sandbox" "${typed}"
                 ${command} --card - --expiry - --cvv 12 ${pay_to_loopback})
    # Nor the signing credential.
    expect_usage("--license takes no credential as an argument outside the built-in sandbox" "${typed}"
                 ${command} ${from_input} --license LICENCIA-SECRETA ${pay_to_loopback})

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
