# Debian packages, one per installed part, made by `cpack` in the build directory from the same
# install rules as `cmake --install`: so both give the same files. The parts and their packages
# are declared in VantoComponents.cmake. Debug symbols of the programs (and of a shared build's
# libraries) go to -dbgsym packages; the static libraries are installed without them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vanto)
set(CPACK_PACKAGE_VENDOR "VantoInLibrary")
# Whoever builds the packages for distribution names themselves here; the default address's
# reserved domain (.invalid) says that no one answers it.
set(VANTO_PACKAGE_CONTACT "VantoInLibrary developers <packages@vantoinlibrary.invalid>"
    CACHE STRING "The Maintainer of the Debian packages, as \"Name <address>\"")
set(CPACK_PACKAGE_CONTACT "${VANTO_PACKAGE_CONTACT}")

include(${CMAKE_CURRENT_LIST_DIR}/DebianChangelog.cmake)
set(VANTO_DEBIAN_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog.gz)
vanto_debian_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md "${CPACK_PACKAGE_CONTACT}"
                       ${VANTO_DEBIAN_CHANGELOG})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
# Each package's first line is its part's own summary, not the project's.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Stripping moves the debug information of the programs into their -dbgsym packages, which needs
# CPack to find it there: CPACK_STRIP_FILES stays off.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)

# The package of a part, and in a shared build the runtime package of a library part: the -dev
# package's name with the library's SOVERSION for its "-dev" (libvanto-dev: libvanto0.4).
function(vanto_runtime_package out component)
    vanto_component_get(package ${component} PACKAGE)
    vanto_component_get(target ${component} TARGET)
    get_target_property(soversion ${target} SOVERSION)
    string(REGEX REPLACE "-dev$" "" base ${package})
    if(base MATCHES "[0-9]$")
        string(APPEND base "-")
    endif()
    set(${out} ${base}${soversion} PARENT_SCOPE)
endfunction()

# What the package of a part depends on, besides what dpkg-shlibdeps finds: a library's -dev
# package on those of the parts it builds on; in a shared build, on the runtime packages of the
# libraries it links, and of those they build on.
function(vanto_package_depends out component)
    vanto_component_get(depends ${component} DEPENDS)
    vanto_component_get(target ${component} TARGET)
    vanto_component_get(links ${component} LINKS)
    vanto_component_get(uses ${component} USES)
    set(ours "")
    if(target AND NOT component STREQUAL "core")
        list(APPEND ours "libvanto-dev (= ${PROJECT_VERSION})")
    endif()
    foreach(used IN LISTS uses)
        vanto_component_get(used_package ${used} PACKAGE)
        list(APPEND ours "${used_package} (= ${PROJECT_VERSION})")
    endforeach()
    if(target AND TARGET ${target})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            list(APPEND links ${component})
        endif()
    endif()
    if(links)
        vanto_component_closure(links ${links})
    endif()
    foreach(linked IN LISTS links)
        vanto_component_get(linked_target ${linked} TARGET)
        if(NOT TARGET ${linked_target})
            continue()
        endif()
        get_target_property(type ${linked_target} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            vanto_runtime_package(runtime ${linked})
            list(APPEND ours "${runtime} (= ${PROJECT_VERSION})")
        endif()
    endforeach()
    if(depends)
        list(APPEND ours "${depends}")
    endif()
    list(JOIN ours ", " joined)
    set(${out} "${joined}" PARENT_SCOPE)
endfunction()

# Every install component must belong to a package: a file installed under a component that
# none declares would be missing from the packages and present after `cmake --install`.
get_cmake_property(vanto_installed COMPONENTS)
get_property(vanto_declared GLOBAL PROPERTY VANTO_COMPONENTS)
set(CPACK_COMPONENTS_ALL "")
foreach(component IN LISTS vanto_installed)
    string(TOUPPER ${component} upper)
    if(component MATCHES "^(.+)_runtime$" AND CMAKE_MATCH_1 IN_LIST vanto_declared)
        set(library ${CMAKE_MATCH_1})
        vanto_runtime_package(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${library})
        vanto_component_get(summary ${library} SUMMARY)
        set(CPACK_DEBIAN_${upper}_DESCRIPTION "${summary} (shared library)")
        set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION libs)
        set(CPACK_DEBIAN_${upper}_PACKAGE_SHLIBDEPS ON)
        if(NOT library STREQUAL "core")
            # The core's runtime and those of the libraries this one builds on.
            vanto_component_closure(below ${library})
            list(REMOVE_ITEM below ${library})
            set(runtimes "")
            foreach(linked IN ITEMS core ${below})
                vanto_runtime_package(linked_runtime ${linked})
                list(APPEND runtimes "${linked_runtime} (= ${PROJECT_VERSION})")
            endforeach()
            list(JOIN runtimes ", " CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS)
        endif()
        # dpkg-shlibdeps looks for our own shared libraries where the other runtime packages are
        # staged (beside this one's staging folder, where it runs).
        list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
             ../${component}${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
    elseif(component IN_LIST vanto_declared)
        vanto_component_get(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${component} PACKAGE)
        vanto_component_get(summary ${component} SUMMARY)
        vanto_component_get(description ${component} DESCRIPTION)
        # Debian's tools read the description in 80 columns, each line led by a space.
        set(lines "")
        vanto_wrap("${description}" "" "" lines 79)
        string(STRIP "${lines}" description)
        set(CPACK_DEBIAN_${upper}_DESCRIPTION "${summary}\n${description}")
        vanto_package_depends(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS ${component})
        vanto_component_get(CPACK_DEBIAN_${upper}_PACKAGE_RECOMMENDS ${component} RECOMMENDS)
        vanto_component_get(CPACK_DEBIAN_${upper}_PACKAGE_SUGGESTS ${component} SUGGESTS)
        vanto_component_get(section ${component} SECTION)
        vanto_component_get(target ${component} TARGET)
        if(NOT section AND target)
            set(section libdevel)
        elseif(NOT section)
            set(section devel)
        endif()
        set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${section})
        vanto_component_get(architecture ${component} ARCHITECTURE)
        if(architecture)
            set(CPACK_DEBIAN_${upper}_PACKAGE_ARCHITECTURE ${architecture})
        endif()
        vanto_component_get(CPACK_DEBIAN_${upper}_PACKAGE_SHLIBDEPS ${component} SHLIBDEPS)
    else()
        message(FATAL_ERROR "Files are installed as component \"${component}\", which no "
                            "package holds: declare it in cmake/VantoComponents.cmake")
    endif()
    # Every package says under which licence it comes, and what changed, where Debian looks.
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian-copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
            RENAME copyright COMPONENT ${component})
    install(FILES ${VANTO_DEBIAN_CHANGELOG}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
            COMPONENT ${component})
    list(APPEND CPACK_COMPONENTS_ALL ${component})
endforeach()

include(CPack)
