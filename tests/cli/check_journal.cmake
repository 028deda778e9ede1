# `vanto pay`, `vanto web --headless` and `vanto journal` as processes, with the payment journal:
# a request the built-in sandbox cuts or drops is in doubt (exit status 4), never a refusal; a
# declined card is still refused (1); a web payment whose run ends after its card form was posted
# is in doubt, its journal entry closed without an outcome; the journal lists, shows and closes
# what is in doubt, in a table and as JSON; --no-journal writes nothing and still tells a payment
# in doubt; the default journal lives in $XDG_STATE_HOME, for its owner only; a damaged or empty
# journal refuses the payment (5552) and is left as it was; a missing one is never created by the
# readers. No card data ever reach the journal's files (nor the credential: JournalOnTheWire).

set(card 4000000000000002)
set(declined 4000000000000010)
set(typed "${card}\n12/30\n7391\n")
set(from_input --card - --expiry - --cvv -)
include(${CMAKE_CURRENT_LIST_DIR}/CardDataWatch.cmake)
set(CARD_DATA_SECRETS 7391 12/30 3012 1230)
set(journal ${WORK_DIR}/journal-check.sqlite)
file(REMOVE ${journal} ${journal}-wal ${journal}-shm)
file(REMOVE_RECURSE ${WORK_DIR}/state-default ${WORK_DIR}/state-none)

# Cut after the answer's head, and closed without a byte: in doubt, with the record of 5550.
foreach(order JCUT-FAULT_CUT JCLOSE-FAULT_CLOSE)
    run("${typed}" pay ${from_input} --amount 5 --order ${order} --journal ${journal})
    expect("pay ${order}" 4 "^\\{\"code\":5550,")
    if(NOT stderr MATCHES "in doubt: the gateway may have charged the card; check order ${order}")
        message(FATAL_ERROR "pay ${order} did not say it is in doubt:\n${stderr}")
    endif()
endforeach()
run("${declined}\n12/30\n7391\n" pay ${from_input} --amount 5 --order JDECLINED --journal ${journal})
expect("pay declined" 1 "^\\{\"code\":78,\"desc\":\"0190\"\\}$")
# The payment page came back without its result: the cardholder may have paid.
run("${typed}" web --headless ${from_input} --amount 5 --order JWEB-RESULT_NOPARAMS
    --journal ${journal})
expect("web without a result" 4 "^\\{\"code\":5551,")
# The card form's post met a 404 and the run ended there, as a screen closed without an outcome:
# no record, and in doubt.
run("${typed}" web --headless ${from_input} --amount 5 --order JWEB-PAGEFAULT_404
    --journal ${journal})
if(NOT status EQUAL 4 OR NOT stderr MATCHES "in doubt: the gateway may have charged the card")
    message(FATAL_ERROR "web closed after its card form: status ${status}\n${stdout}\n${stderr}")
endif()

run("" journal unresolved --json --journal ${journal})
expect("journal unresolved" 0 "")
string(JSON count LENGTH "${stdout}")
if(NOT count EQUAL 4)
    message(FATAL_ERROR "journal unresolved should list four payments:\n${stdout}")
endif()
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
    string(JSON order GET "${stdout}" ${index} order)
    string(JSON standing GET "${stdout}" ${index} standing)
    if(NOT order MATCHES "^(JCUT-FAULT_CUT|JCLOSE-FAULT_CLOSE|JWEB-RESULT_NOPARAMS|JWEB-PAGEFAULT_404)$"
       OR NOT standing STREQUAL "inDoubt")
        message(FATAL_ERROR "journal unresolved lists ${order} as ${standing}:\n${stdout}")
    endif()
endforeach()
run("" journal unresolved --journal ${journal})
if(NOT stdout MATCHES "JCUT-FAULT_CUT +direct +5.00 978 +inDoubt +refused 5550"
   OR NOT stdout MATCHES "JWEB-PAGEFAULT_404 +web +5.00 978 +inDoubt +- +closedWithoutOutcome "
   OR NOT stdout MATCHES "check this order before charging again")
    message(FATAL_ERROR "journal unresolved as a table:\n${stdout}")
endif()
run("" journal show JWEB-PAGEFAULT_404 --json --journal ${journal})
string(JSON steps LENGTH "${stdout}" 0 steps)
math(EXPR last "${steps} - 1")
string(JSON step GET "${stdout}" 0 steps ${last} step)
string(JSON detail GET "${stdout}" 0 steps ${last} detail)
if(NOT step STREQUAL "closedWithoutOutcome" OR NOT detail MATCHES "may have paid")
    message(FATAL_ERROR "journal show JWEB-PAGEFAULT_404 --json:\n${stdout}")
endif()

run("" journal show JDECLINED --journal ${journal})
if(NOT status EQUAL 0 OR NOT stdout MATCHES "Standing +delivered"
   OR NOT stdout MATCHES "refused 78 \"0190\"" OR NOT stdout MATCHES "Card +ending in 0010")
    message(FATAL_ERROR "journal show JDECLINED: status ${status}\n${stdout}\n${stderr}")
endif()
# An order pays once: paid again while in doubt, it is not sent until its payment is reviewed.
run("${typed}" pay ${from_input} --amount 5 --order JCUT-FAULT_CUT --journal ${journal})
expect("pay an order in doubt again" 1 "^\\{\"code\":5553,\"desc\":\"El pedido ya tiene un pago")
if(NOT stderr MATCHES "not sent: the journal holds a payment of order JCUT-FAULT_CUT")
    message(FATAL_ERROR "pay of an order in doubt did not say why it was not sent:\n${stderr}")
endif()
run("" journal review JCUT-FAULT_CUT --note "sin cargo en el extracto" --journal ${journal})
expect("journal review" 0 "")
run("${typed}" pay ${from_input} --amount 5 --order JCUT-FAULT_CUT --journal ${journal})
expect("pay a reviewed order again" 4 "^\\{\"code\":5550,")
run("" journal show JCUT-FAULT_CUT --json --journal ${journal})
string(JSON attempts LENGTH "${stdout}")
string(JSON note GET "${stdout}" 0 review note)
string(JSON unresolved GET "${stdout}" 0 unresolved)
string(JSON later GET "${stdout}" 1 standing)
if(NOT attempts EQUAL 2 OR NOT note STREQUAL "sin cargo en el extracto" OR unresolved
   OR NOT later STREQUAL "inDoubt")
    message(FATAL_ERROR "journal show lists every payment of the order, the review kept:\n${stdout}")
endif()
run("" journal show JCUT-FAULT_CUT --journal ${journal})
if(NOT stdout MATCHES "Attempt +1 of 2.*Attempt +2 of 2")
    message(FATAL_ERROR "journal show as text lists every payment of the order:\n${stdout}")
endif()
foreach(command "review;JDECLINED;--note;nada" "show;NOSUCHORDER")
    run("" journal ${command} --journal ${journal})
    if(NOT status EQUAL 1)
        message(FATAL_ERROR "journal ${command}: status ${status}\n${stderr}")
    endif()
endforeach()

watch_card_data_in_journal(${journal})

# A backup is one file, log folded in, that lists what the journal lists; it never replaces one.
set(copy ${WORK_DIR}/journal-copy.sqlite)
file(REMOVE ${copy})
run("" journal backup ${copy} --journal ${journal})
expect("journal backup" 0 "^copied [0-9]+ payments to ")
run("" journal list --json --journal ${journal})
set(listed "${stdout}")
run("" journal list --json --journal ${copy})
execute_process(COMMAND stat -c %a ${copy} OUTPUT_VARIABLE mode)
if(NOT stdout STREQUAL listed OR EXISTS ${copy}-wal OR NOT mode STREQUAL "600\n")
    message(FATAL_ERROR "the backup (mode ${mode}) lists otherwise:\n${stdout}\n${listed}")
endif()
run("" journal backup ${copy} --journal ${journal})
expect("journal backup onto a file" 2 "")
watch_card_data_in_journal(${copy})

# Without a journal on disk, a payment in doubt is still told, and nothing is written.
set(ENV{XDG_STATE_HOME} ${WORK_DIR}/state-none)
run("${typed}" pay ${from_input} --amount 5 --order JNONE-FAULT_CLOSE --no-journal)
expect("pay --no-journal" 4 "^\\{\"code\":5550,")
if(EXISTS ${WORK_DIR}/state-none)
    message(FATAL_ERROR "--no-journal wrote to the state folder")
endif()

# The default journal, for its owner only.
set(ENV{XDG_STATE_HOME} ${WORK_DIR}/state-default)
run("${typed}" pay ${from_input} --amount 5 --order JDEFAULT)
expect("pay with the default journal" 0 "^\\{\"code\":0,")
execute_process(COMMAND stat -c %a ${WORK_DIR}/state-default/vanto
                        ${WORK_DIR}/state-default/vanto/journal.sqlite
                OUTPUT_VARIABLE modes)
if(NOT modes STREQUAL "700\n600\n")
    message(FATAL_ERROR "the default journal's folder and file: modes ${modes}")
endif()
run("" journal show JDEFAULT)
expect("journal show with the default journal" 0 "")

# A damaged journal, or an empty one (a journal is never empty: its payments were lost), refuses
# the payment and is never written to.
string(REPEAT "no es un diario de pagos " 300 garbage)
foreach(case "damaged.sqlite;damaged;${garbage}" "empty.sqlite;empty;")
    list(GET case 0 name)
    list(GET case 1 why)
    list(LENGTH case fields)
    set(content "")
    if(fields GREATER 2)
        list(GET case 2 content)
    endif()
    set(damaged ${WORK_DIR}/${name})
    file(REMOVE ${damaged}-wal ${damaged}-shm)
    file(WRITE ${damaged} "${content}")
    run("${typed}" pay ${from_input} --amount 5 --order JDAMAGED --journal ${damaged})
    expect("pay with ${name}" 1 "^\\{\"code\":5552,\"desc\":\"No se ha podido anotar el pago")
    if(NOT stderr MATCHES "${why}")
        message(FATAL_ERROR "pay with ${name} did not say why:\n${stderr}")
    endif()
    file(READ ${damaged} after)
    if(NOT after STREQUAL content OR EXISTS ${damaged}-wal)
        message(FATAL_ERROR "${name} was written to")
    endif()
    run("" journal list --journal ${damaged})
    expect("journal list of ${name}" 3 "")
endforeach()

# The commands that read never create a journal: one not there is bad usage, named.
set(missing ${WORK_DIR}/no-such-journal.sqlite)
file(REMOVE ${missing})
foreach(command "list" "unresolved" "show;JCUT-FAULT_CUT" "review;JCUT-FAULT_CUT;--note;x")
    run("" journal ${command} --journal ${missing})
    if(NOT status EQUAL 2 OR NOT stderr MATCHES "${missing}" OR EXISTS ${missing})
        message(FATAL_ERROR "journal ${command} of a missing journal: status ${status}\n${stderr}")
    endif()
endforeach()
