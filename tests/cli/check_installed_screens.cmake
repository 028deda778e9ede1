# Installed, `vanto` finds its screens program in libexec: `vanto demo` on a display pays through
# the screens as it does in the build tree, and the screens program is no command of its own.
# The command line and its screens program are installed as two components (two packages).
file(REMOVE_RECURSE ${PREFIX})
foreach(component cli screens)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component ${component}
                            --prefix ${PREFIX}
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "installing the component ${component} failed (${status}):\n${err}")
    endif()
endforeach()
if(NOT EXISTS ${PREFIX}/${LIBEXECDIR}/vanto/vanto-screens OR EXISTS ${PREFIX}/${BINDIR}/vanto-screens)
    message(FATAL_ERROR "vanto-screens is not installed in ${LIBEXECDIR}/vanto alone")
endif()
set(VANTO ${PREFIX}/${BINDIR}/vanto)
include(${CMAKE_CURRENT_LIST_DIR}/check_demo.cmake)
if(NOT out MATCHES "through the library's payment screens \\(Qt\\)")
    message(FATAL_ERROR "the installed vanto demo did not use the screens:\n${out}\n${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
