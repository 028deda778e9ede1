# Installs the library, its headers and a package configuration so that
# find_package(VantoInLibrary) followed by target_link_libraries(app vanto::vanto) works.
include(CMakePackageConfigHelpers)

set(VANTO_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VantoInLibrary)

install(TARGETS vanto EXPORT VantoInLibraryTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vanto ${PROJECT_BINARY_DIR}/generated/include/vanto
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT VantoInLibraryTargets NAMESPACE vanto:: DESTINATION ${VANTO_CMAKE_INSTALL_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantoInLibraryConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
                              INSTALL_DESTINATION ${VANTO_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantoInLibraryConfig.cmake
              ${PROJECT_BINARY_DIR}/VantoInLibraryConfigVersion.cmake
        DESTINATION ${VANTO_CMAKE_INSTALL_DIR})
