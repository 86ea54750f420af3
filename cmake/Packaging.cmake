# The Debian package (cpack -G DEB in a build folder; scripts/package.sh
# builds the profile-guided release and packs it). It holds what the install
# rules of cmake/Install.cmake put under /usr and /etc; dpkg-shlibdeps
# computes the dependencies from the shared libraries the program links, and
# /etc/jorvex/Jorvex.ini is a conffile, which an upgrade does not overwrite
# once the user has changed it.

# The version is the program's own (the banner's and the log's).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/src/base/KvVersion.h ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
file(STRINGS ${PROJECT_SOURCE_DIR}/src/base/KvVersion.h version_line REGEX "kVersion = \"")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" JORVEX_VERSION "${version_line}")
if(NOT JORVEX_VERSION MATCHES "^[0-9][0-9.]*$")
  message(FATAL_ERROR "No kVersion found in src/base/KvVersion.h")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^jorvex \\(${JORVEX_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog does not start with version ${JORVEX_VERSION}")
endif()

# The changelog and the copyright file that every Debian package carries.
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
jorvex_gzip(${PROJECT_SOURCE_DIR}/packaging/debian/changelog ${changelog_gz})
install(FILES ${changelog_gz} ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME jorvex)
set(CPACK_PACKAGE_VERSION ${JORVEX_VERSION})
set(CPACK_PACKAGE_VENDOR "Jorvex developers")
set(CPACK_PACKAGE_CONTACT "Jorvex developers <jorvex@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fiscal journal converter for German tax audits")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Converts the fiscal journal of a point-of-sale terminal, as native export\n"
    "text or as an ASCII interface file, into an IDEA export (CSV tables with a\n"
    "GDPdU index document) or an INSIKA XML document, with an export log.\n"
    "jorvex-check checks any GDPdU export (folder or ZIP file) against the\n"
    "description standard, with stable finding codes.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

# Install into a staging folder (DESTDIR) with the prefix /usr, so that the
# install rules see the real prefix and put the configuration under /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/packaging/conffiles "/etc/jorvex/Jorvex.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
