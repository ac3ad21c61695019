# The Debian package, made by `cpack -G DEB` in the Linux build tree (as
# scripts/release.sh does). Its version comes from the build's version files
# when cpack runs (cpack-version.cmake), so it is the one --version shows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${UPLOADER_PACKAGE})
set(CPACK_PACKAGE_VENDOR Tavik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${UPLOADER_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware uploader for DMX512 lighting fixtures")
set(CPACK_PACKAGE_DESCRIPTION
  "uploader-cli puts new firmware into Tavik lighting fixtures over a DMX512
line, through an FTDI-based USB-to-DMX adapter (libftdi1) or an Art-Net or
sACN node. It comes with a udev rule that gives FTDI adapters to the user
logged in at the seat and to the plugdev group, a manual page, bash
completion and the operator's guide.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries uploader-cli links (libftdi1-2 among them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_UPLOADER_VERSION_FILE ${UPLOADER_VERSION_DIR}/version.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-version.cmake)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
