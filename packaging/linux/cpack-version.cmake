# Read by cpack: the package version of this build (cmake/WriteVersion.cmake).
include(${CPACK_UPLOADER_VERSION_FILE})
set(CPACK_DEBIAN_PACKAGE_VERSION ${UPLOADER_PACKAGE_VERSION})
