# `vanto` maps no Qt library: a payment without a screen stays small, and the screens are a
# program of their own that `vanto` becomes when one is needed.
execute_process(COMMAND ldd ${VANTO} RESULT_VARIABLE status OUTPUT_VARIABLE libraries
                ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT libraries MATCHES "libcurl")
    message(FATAL_ERROR "ldd could not list what ${VANTO} links (${status}):\n${libraries}\n${err}")
endif()
if(libraries MATCHES "libQt[0-9]")
    message(FATAL_ERROR "${VANTO} links Qt:\n${libraries}")
endif()
