# Installs the library, its headers, a CMake package configuration (find_package(VantoInLibrary),
# target vanto::vanto, optional component sandbox) and a pkg-config file (vanto.pc).
include(CMakePackageConfigHelpers)

set(VANTO_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VantoInLibrary)

install(TARGETS vanto EXPORT VantoInLibraryTargets COMPONENT library
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vanto ${PROJECT_BINARY_DIR}/generated/include/vanto
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
install(EXPORT VantoInLibraryTargets NAMESPACE vanto:: DESTINATION ${VANTO_CMAKE_INSTALL_DIR}
        COMPONENT library)

if(TARGET vanto_sandbox)
    install(TARGETS vanto_sandbox EXPORT VantoInLibrarySandboxTargets COMPONENT sandbox
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/sandbox/include/vanto
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT sandbox)
    install(EXPORT VantoInLibrarySandboxTargets NAMESPACE vanto::
            DESTINATION ${VANTO_CMAKE_INSTALL_DIR} COMPONENT sandbox)
endif()

# What the package configuration must find before it loads the targets: a static library brings
# the libraries it links itself.
if(BUILD_SHARED_LIBS)
    set(VANTO_STATIC_LIBRARY FALSE)
else()
    set(VANTO_STATIC_LIBRARY TRUE)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantoInLibraryConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
                              INSTALL_DESTINATION ${VANTO_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
              ${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
        DESTINATION ${VANTO_CMAKE_INSTALL_DIR} COMPONENT library)

# pkg-config: relocatable (the prefix is found from the file's own place). A static library lists
# the libraries it links in Requires, so that `pkg-config --cflags --libs vanto` is enough.
file(RELATIVE_PATH VANTO_PC_PREFIX_FROM_PCFILEDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
if(BUILD_SHARED_LIBS)
    set(VANTO_PC_REQUIRES "Requires.private: libcurl openssl sqlite3")
    set(VANTO_PC_CFLAGS "")
else()
    set(VANTO_PC_REQUIRES "Requires: libcurl openssl sqlite3")
    set(VANTO_PC_CFLAGS " -DVANTO_STATIC_DEFINE")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vanto.pc.in ${PROJECT_BINARY_DIR}/vanto.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vanto.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT library)
