# A Debian package of the library, its headers, its package configuration and the command line
# tool: `cpack -G DEB` in the build directory.
set(CPACK_PACKAGE_NAME vanto)
set(CPACK_PACKAGE_VENDOR "VantoInLibrary")
set(CPACK_PACKAGE_CONTACT "VantoInLibrary developers <vanto@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL library cli)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A program built on the library (static unless BUILD_SHARED_LIBS) links what the library links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4-openssl-dev, libssl-dev, libsqlite3-dev")
include(CPack)
