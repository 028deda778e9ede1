# How the project installs itself. The parts it installs are declared in VantoComponents.cmake;
# each library part installs itself with vanto_install_library() where its target is made, and
# vanto_install_package_configuration(), called once every part is known, writes the CMake
# package configuration: find_package(VantoInLibrary [COMPONENTS ...]).
include(CMakePackageConfigHelpers)

set(VANTO_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VantoInLibrary)
# One folder for all documentation, whichever package brings it; the command line names it.
set(VANTO_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vanto)

set(VANTO_COMPONENT_VALUES PACKAGE SUMMARY DESCRIPTION TARGET DEPENDS RECOMMENDS SUGGESTS SECTION
                           ARCHITECTURE)
set(VANTO_COMPONENT_LISTS FIND FIND_STATIC PKGCONFIG PKGCONFIG_STATIC CFLAGS LIBS LINKS USES)

# vanto_component(<name> PACKAGE <package> SUMMARY <text> ...): declares a part (see
# VantoComponents.cmake for the fields).
function(vanto_component name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "SHLIBDEPS" "${VANTO_COMPONENT_VALUES}"
                          "${VANTO_COMPONENT_LISTS}")
    if(ARG_UNPARSED_ARGUMENTS OR NOT ARG_PACKAGE OR NOT ARG_SUMMARY)
        message(FATAL_ERROR "vanto_component(${name}): needs PACKAGE and SUMMARY, and knows no "
                            "${ARG_UNPARSED_ARGUMENTS}")
    endif()
    set_property(GLOBAL APPEND PROPERTY VANTO_COMPONENTS ${name})
    foreach(field IN LISTS VANTO_COMPONENT_VALUES VANTO_COMPONENT_LISTS ITEMS SHLIBDEPS)
        string(CONFIGURE "${ARG_${field}}" value @ONLY)
        set_property(GLOBAL PROPERTY VANTO_COMPONENT_${name}_${field} "${value}")
    endforeach()
endfunction()

# Sets `out` to one field of a declared part.
function(vanto_component_get out name field)
    get_property(value GLOBAL PROPERTY VANTO_COMPONENT_${name}_${field})
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/VantoComponents.cmake)

# Sets `out` to the parts among `components` and every library part they build on (USES), each
# after those it builds on.
function(vanto_component_closure out)
    set(closure "")
    foreach(component IN LISTS ARGN)
        vanto_component_get(uses ${component} USES)
        if(uses)
            vanto_component_closure(below ${uses})
            list(APPEND closure ${below})
        endif()
        list(APPEND closure ${component})
    endforeach()
    list(REMOVE_DUPLICATES closure)
    set(${out} "${closure}" PARENT_SCOPE)
endfunction()

# The name of the export set, and of its file, of a library part: VantoInLibraryTargets for the
# core, VantoInLibrary<Name>Targets for the others (qt_web: VantoInLibraryQtWebTargets).
function(vanto_export_name out component)
    if(component STREQUAL "core")
        set(${out} VantoInLibraryTargets PARENT_SCOPE)
        return()
    endif()
    set(name "")
    string(REPLACE "_" ";" words ${component})
    foreach(word IN LISTS words)
        string(SUBSTRING ${word} 0 1 first)
        string(TOUPPER ${first} first)
        string(SUBSTRING ${word} 1 -1 rest)
        string(APPEND name ${first}${rest})
    endforeach()
    set(${out} VantoInLibrary${name}Targets PARENT_SCOPE)
endfunction()

# The pkg-config module of a library part: vanto for the core, vanto-<component> for the others,
# with hyphens for underscores (qt_web: vanto-qt-web).
function(vanto_pkg_config_name out component)
    if(component STREQUAL "core")
        set(${out} vanto PARENT_SCOPE)
    else()
        string(REPLACE "_" "-" name vanto-${component})
        set(${out} ${name} PARENT_SCOPE)
    endif()
endfunction()

# Whether a library part's target is a static library: its users then link what it links.
function(vanto_is_static out target)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# What a consumer's find_package must find before it loads a library part's targets.
function(vanto_component_needs out component)
    vanto_component_get(target ${component} TARGET)
    vanto_component_get(needs ${component} FIND)
    vanto_is_static(static ${target})
    if(static)
        vanto_component_get(static_needs ${component} FIND_STATIC)
        list(APPEND needs ${static_needs})
    endif()
    set(${out} "${needs}" PARENT_SCOPE)
endfunction()

# vanto_install_library(<component> <target> [INCLUDES <dir>...] [GENERATED <header>...])
#
# Installs a library part: the library (a shared one's object in <component>_runtime, for a
# runtime package of its own), the headers under each INCLUDES folder and the GENERATED headers
# (from the build's generated/include), its CMake targets and its pkg-config file. A static
# library is installed without its debug information, which would otherwise make up most of it.
function(vanto_install_library component target)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "INCLUDES;GENERATED")
    vanto_component_get(declared ${component} TARGET)
    if(NOT declared STREQUAL target)
        message(FATAL_ERROR "vanto_install_library(${component} ${target}): "
                            "cmake/VantoComponents.cmake declares no part ${component} with TARGET "
                            "${target}")
    endif()
    vanto_export_name(export ${component})
    install(TARGETS ${target} EXPORT ${export}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}_runtime
                    NAMELINK_COMPONENT ${component}
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component}_runtime
            INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    foreach(folder IN LISTS ARG_INCLUDES)
        install(DIRECTORY ${folder}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${component})
    endforeach()
    # The API reference documents what is installed.
    set_property(GLOBAL PROPERTY VANTO_COMPONENT_${component}_HEADER_FOLDERS ${ARG_INCLUDES})
    foreach(header IN LISTS ARG_GENERATED)
        file(RELATIVE_PATH relative ${PROJECT_BINARY_DIR}/generated/include ${header})
        get_filename_component(folder ${relative} DIRECTORY)
        install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder}
                COMPONENT ${component})
    endforeach()
    install(EXPORT ${export} NAMESPACE vanto:: DESTINATION ${VANTO_CMAKE_INSTALL_DIR}
            COMPONENT ${component})

    vanto_is_static(static ${target})
    if(static AND CMAKE_STRIP)
        install(CODE "
            set(archive \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${target}>\")
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --enable-deterministic-archives
                                    \"\${archive}\" RESULT_VARIABLE status)
            if(NOT status EQUAL 0)
                message(FATAL_ERROR \"could not take the debug information out of \${archive}\")
            endif()" COMPONENT ${component})
    endif()

    vanto_install_pkg_config(${component} ${target})
endfunction()

# The pkg-config file of a library part (vanto_pkg_config_name). Relocatable: the prefix is found
# from the file's own place. A static library lists what it links in Requires, so that
# `pkg-config --cflags --libs vanto-<component>` is enough; the parts it builds on are required
# at this version.
function(vanto_install_pkg_config component target)
    vanto_component_get(summary ${component} SUMMARY)
    vanto_component_get(public ${component} PKGCONFIG)
    vanto_component_get(linked ${component} PKGCONFIG_STATIC)
    vanto_component_get(cflags ${component} CFLAGS)
    vanto_component_get(libs ${component} LIBS)
    vanto_component_get(uses ${component} USES)
    set(requires "")
    set(private "")
    vanto_pkg_config_name(pc_name ${component})
    if(NOT component STREQUAL "core")
        list(APPEND requires "vanto = ${PROJECT_VERSION}")
    endif()
    foreach(used IN LISTS uses)
        vanto_pkg_config_name(used_pc ${used})
        list(APPEND requires "${used_pc} = ${PROJECT_VERSION}")
    endforeach()
    list(APPEND requires ${public})
    vanto_is_static(static ${target})
    if(static)
        list(APPEND requires ${linked})
    else()
        list(APPEND private ${linked})
    endif()

    get_target_property(definitions ${target} INTERFACE_COMPILE_DEFINITIONS)
    foreach(definition IN LISTS definitions)
        if(definition MATCHES "_STATIC_DEFINE$")
            list(APPEND cflags -D${definition})
        endif()
    endforeach()
    get_target_property(library ${target} OUTPUT_NAME)
    if(NOT library)
        set(library ${target})
    endif()

    file(RELATIVE_PATH PC_PREFIX_FROM_PCFILEDIR
         ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
    set(PC_NAME ${pc_name})
    set(PC_DESCRIPTION "${summary}")
    set(PC_REQUIRES "")
    if(requires)
        list(JOIN requires ", " joined)
        set(PC_REQUIRES "Requires: ${joined}\n")
    endif()
    if(private)
        list(JOIN private ", " joined)
        string(APPEND PC_REQUIRES "Requires.private: ${joined}\n")
    endif()
    # Each list with the space that separates it from what comes before it on its line.
    list(JOIN cflags " " PC_CFLAGS)
    list(JOIN libs " " PC_LIBS)
    foreach(flags PC_CFLAGS PC_LIBS)
        if(${flags})
            set(${flags} " ${${flags}}")
        endif()
    endforeach()
    set(PC_LIBRARY ${library})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/vanto.pc.in
                   ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endfunction()

# The CMake package configuration, written once every library part is known: the core's
# targets, and for each component the file of its targets, the Debian package that installs it,
# the components it builds on (loaded before it) and what it needs found first.
function(vanto_install_package_configuration)
    vanto_component_needs(core_needs core)
    set(table "")
    set(names "")
    get_property(components GLOBAL PROPERTY VANTO_COMPONENTS)
    foreach(component IN LISTS components)
        vanto_component_get(target ${component} TARGET)
        if(NOT target OR component STREQUAL "core")
            continue()
        endif()
        list(APPEND names ${component})
        vanto_component_get(package ${component} PACKAGE)
        vanto_export_name(export ${component})
        set(needs "")
        if(TARGET ${target})
            vanto_component_needs(needs ${component})
        endif()
        vanto_component_closure(below ${component})
        list(REMOVE_ITEM below ${component})
        string(APPEND table "set(_vanto_${component}_package ${package})\n"
                            "set(_vanto_${component}_targets ${export}.cmake)\n"
                            "set(_vanto_${component}_uses ${below})\n"
                            "set(_vanto_${component}_needs")
        foreach(need IN LISTS needs)
            string(APPEND table " [=[${need}]=]")
        endforeach()
        string(APPEND table ")\n")
    endforeach()
    set(VANTO_CONFIG_CORE_NEEDS "")
    foreach(need IN LISTS core_needs)
        string(APPEND VANTO_CONFIG_CORE_NEEDS " [=[${need}]=]")
    endforeach()
    list(JOIN names " " VANTO_CONFIG_COMPONENT_NAMES)
    set(VANTO_CONFIG_COMPONENT_TABLE "${table}")

    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantoInLibraryConfig.cmake.in
                                  ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
                                  INSTALL_DESTINATION ${VANTO_CMAKE_INSTALL_DIR})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
                                     COMPATIBILITY SameMinorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
                  ${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
            DESTINATION ${VANTO_CMAKE_INSTALL_DIR} COMPONENT core)
endfunction()
