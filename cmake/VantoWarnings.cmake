# Warning and sanitizer flags shared by every target of the project.
add_library(vanto_build_flags INTERFACE)
target_compile_options(vanto_build_flags INTERFACE -Wall -Wextra -Wpedantic -Wconversion
                                                   -Wno-sign-conversion)
if(VANTO_WERROR)
    target_compile_options(vanto_build_flags INTERFACE -Werror)
endif()
if(VANTO_SANITIZE)
    target_compile_options(vanto_build_flags INTERFACE -fsanitize=${VANTO_SANITIZE} -fno-omit-frame-pointer
                                                       -fno-sanitize-recover=all)
    target_link_options(vanto_build_flags INTERFACE -fsanitize=${VANTO_SANITIZE})
endif()
