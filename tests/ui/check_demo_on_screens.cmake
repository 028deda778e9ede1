# `vanto demo` with a display: the same three outcomes as without one (and no card data in clear),
# reached through the Qt screens.
include(${CMAKE_CURRENT_LIST_DIR}/../cli/check_demo.cmake)
if(NOT out MATCHES "through the library's payment screens \\(Qt\\)")
    message(FATAL_ERROR "vanto demo did not use the screens:\n${out}")
endif()
