# The Debian package (cpack -G DEB in the build folder): the files of cmake/install.cmake
# under /usr, dependencies from dpkg-shlibdeps, stripped programs and libraries, and the
# copyright file and changelog where Debian wants them.

set(LUMORA_PACKAGE_MAINTAINER "Lumora developers <developers@lumora-desktop.org>" CACHE STRING
    "Maintainer field of the Debian package")

# The Debian changelog, gzipped at its highest level without a time stamp.
set(lumora_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${lumora_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
          ${lumora_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(lumora_changelog ALL DEPENDS ${lumora_changelog})
install(FILES ${lumora_changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumora-desktop
        OPTIONAL)

# The package's version is the changelog's: the project's version and a Debian revision.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog lumora_changelog_top LIMIT_COUNT 1)
if(NOT lumora_changelog_top MATCHES "^lumora-desktop \\(${PROJECT_VERSION}-([0-9]+)\\)")
  message(FATAL_ERROR "packaging/debian/changelog must begin with version ${PROJECT_VERSION}-N")
endif()

set(CPACK_PACKAGE_NAME lumora-desktop)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LUMORA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo album HotSync conduit and service for Palm OS handhelds")
set(CPACK_PACKAGE_DESCRIPTION
    "The desktop side of the Lumora photo album for Palm OS handhelds: the
HotSync conduit that moves pictures between a folder of .bmp files and the
handheld, the installer support library that turns TrueType fonts into
handheld font databases, and lumora-hotsync, a HotSync service that syncs
handhelds over the network or a serial line, with the tools
lumora-handheld, lumora-bitmap and lumora-font.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened at run time, so shlibdeps cannot see it.
if(LUMORA_HEIF_SONAME MATCHES "^libheif\\.so\\.([0-9]+)$")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libheif${CMAKE_MATCH_1}")
endif()
# The libraries sit in a library folder of the system: ldconfig runs once after all the
# packages of an installation.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_GENERATOR DEB)
include(CPack)
