# The card-data watch of the command line checks: every text a check saw (what a command printed,
# the journal's files) is looked through for the sandbox's test cards, in digits and grouped the
# way they are typed, and for the security codes and expiry dates in CARD_DATA_SECRETS, as words
# of their own. A hit ends the check, naming where it was found. The checks run vanto through
# run() below, which watches what it printed.

set(CARD_DATA_CARDS 4000000000000002 4000000000000010 4000000000000028 4000000000000036
                    4000000000000044)

function(watch_card_data where text)
    foreach(card ${CARD_DATA_CARDS})
        string(REGEX REPLACE "^(....)(....)(....)(....)$" "\\1 \\2 \\3 \\4" spaced "${card}")
        string(REGEX REPLACE "^(....)(....)(....)(....)$" "\\1-\\2-\\3-\\4" dashed "${card}")
        foreach(spelling ${card} "${spaced}" ${dashed})
            string(FIND "${text}" "${spelling}" at)
            if(NOT at EQUAL -1)
                string(SUBSTRING "${card}" 12 4 last_four)
                message(FATAL_ERROR "card data in clear in ${where}: the card number ending in ${last_four}")
            endif()
        endforeach()
    endforeach()
    # A card member's value in clear, in any escaping of the JSON around it.
    if("${text}" MATCHES "DS_MERCHANT_(PAN|CVV2|EXPIRYDATE)[\\\"]*:[\\\"]*[0-9]")
        message(FATAL_ERROR "card data in clear in ${where}: a value of DS_MERCHANT_${CMAKE_MATCH_1}")
    endif()
    foreach(secret ${CARD_DATA_SECRETS})
        string(REGEX REPLACE "([/.])" "\\\\\\1" pattern "${secret}")
        if("${text}" MATCHES "(^|[^0-9A-Za-z])${pattern}($|[^0-9A-Za-z])")
            message(FATAL_ERROR "card data in clear in ${where}: a security code or expiry date the check typed")
        endif()
    endforeach()
endfunction()

# A journal and its -wal and -shm files, as the printable runs of their bytes.
function(watch_card_data_in_journal path)
    foreach(file "${path}" "${path}-wal" "${path}-shm")
        if(EXISTS "${file}")
            file(STRINGS "${file}" runs)
            watch_card_data("${file}" "${runs}")
        endif()
    endforeach()
endfunction()

# Runs the tool with `input` on standard input and the arguments that follow, watching what it
# printed; sets status, out (the last line of standard output), stdout and stderr.
function(run input)
    get_filename_component(script "${CMAKE_SCRIPT_MODE_FILE}" NAME_WE)
    file(WRITE ${WORK_DIR}/${script}-input.txt "${input}")
    execute_process(COMMAND ${VANTO} ${ARGN} INPUT_FILE ${WORK_DIR}/${script}-input.txt
                    RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr TIMEOUT 120)
    string(STRIP "${stdout}" stripped)
    string(REGEX REPLACE ".*\n" "" last "${stripped}")
    set(status "${status}" PARENT_SCOPE)
    set(out "${last}" PARENT_SCOPE)
    set(stdout "${stdout}" PARENT_SCOPE)
    set(stderr "${stderr}" PARENT_SCOPE)
    watch_card_data("what vanto ${ARGN} printed" "${stdout}${stderr}")
endfunction()

function(expect what expected_status expected_out)
    if(NOT status EQUAL expected_status OR NOT out MATCHES "${expected_out}")
        message(FATAL_ERROR "${what}: status ${status}, last line ${out}\n${stdout}\n${stderr}")
    endif()
endfunction()
