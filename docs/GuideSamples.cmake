# The integration guide's code samples as programs: used by the build (docs/CMakeLists.txt) and by
# the checks of the installed packages, which build the installed guide's samples against them.

# vanto_guide_samples(<guide.md> <folder> <names-variable> COMPONENTS <component>...)
#
# Writes each fenced C++ block that follows a line "<!-- sample: <name> -->" in the guide to
# <folder>/<name>.cpp and sets <names-variable> to the names. For each sample, sets
# VANTO_GUIDE_SAMPLE_<name>_COMPONENTS to the components among those given whose headers
# (<vanto/<component>/...>) it includes: what it must be linked with besides the library.
function(vanto_guide_samples guide folder out)
    cmake_parse_arguments(PARSE_ARGV 3 ARG "" "" "COMPONENTS")
    file(READ ${guide} text)
    set(marker "<!-- sample: ")
    set(opening "```cpp\n")
    set(closing "\n```")
    string(LENGTH "${marker}" marker_length)
    string(LENGTH "${opening}" opening_length)
    set(names "")
    string(FIND "${text}" "${marker}" at)
    while(NOT at EQUAL -1)
        math(EXPR name_start "${at} + ${marker_length}")
        string(SUBSTRING "${text}" ${name_start} -1 rest)
        string(FIND "${rest}" " -->" name_end)
        string(SUBSTRING "${rest}" 0 ${name_end} name)
        string(FIND "${rest}" "${opening}" code_start)
        math(EXPR code_start "${code_start} + ${opening_length}")
        string(SUBSTRING "${rest}" ${code_start} -1 rest)
        string(FIND "${rest}" "${closing}" code_end)
        string(SUBSTRING "${rest}" 0 ${code_end} code)
        file(CONFIGURE OUTPUT ${folder}/${name}.cpp CONTENT "${code}\n")
        list(APPEND names ${name})

        set(components "")
        foreach(component IN LISTS ARG_COMPONENTS)
            if(code MATCHES "#include <vanto/${component}/")
                list(APPEND components ${component})
            endif()
        endforeach()
        set(VANTO_GUIDE_SAMPLE_${name}_COMPONENTS "${components}" PARENT_SCOPE)

        string(SUBSTRING "${rest}" ${code_end} -1 text)
        string(FIND "${text}" "${marker}" at)
    endwhile()
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

# vanto_guide_sample_credentials(<folder> <environment-variable>)
#
# The production sample reads the merchant's signing credential where systemd would hand it to a
# service: <folder>/vanto-license, readable by its owner alone, named by CREDENTIALS_DIRECTORY.
# Makes that folder (with the sandbox's credential) and sets <environment-variable> to the
# assignment the samples run with.
function(vanto_guide_sample_credentials folder out)
    file(MAKE_DIRECTORY ${folder})
    file(CHMOD ${folder} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    file(WRITE ${folder}/vanto-license "sandbox-signing-credential\n")
    file(CHMOD ${folder}/vanto-license PERMISSIONS OWNER_READ OWNER_WRITE)
    set(${out} "CREDENTIALS_DIRECTORY=${folder}" PARENT_SCOPE)
endfunction()
