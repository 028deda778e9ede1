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
if(VANTO_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VANTO_BUILD_FUZZERS needs clang: configure with CC=clang CXX=clang++")
    endif()
    # Coverage for libFuzzer in every target, and the sanitizers the fuzzers run under.
    target_compile_options(vanto_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                       -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(vanto_build_flags INTERFACE -fsanitize=address,undefined)
endif()

# The test programs check what the library does, not how fast their own code runs: in an
# optimised build they are compiled with lighter optimisation and line tables only, which takes
# about half the time. The library, the command line and the sandbox they test keep the build
# type's flags. Called at the top of each folder of test programs.
macro(vanto_lighter_test_flags)
    add_compile_options($<$<CONFIG:RelWithDebInfo>:-O1> $<$<CONFIG:RelWithDebInfo>:-g1>
                        $<$<CONFIG:Release>:-O1>)
endmacro()
