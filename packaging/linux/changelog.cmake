# Writes the package's Debian changelog (gzipped) for the version being built:
# one entry naming the version, and whether it is a tagged release.
#
#   cmake -DVERSION_FILE=.../version.cmake -DPACKAGE=name -DMAINTAINER="N <e>"
#         -DOUTPUT=.../changelog.gz -P changelog.cmake
include(${VERSION_FILE})
set(ENV{SOURCE_DATE_EPOCH} ${UPLOADER_SOURCE_DATE_EPOCH})
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${OUTPUT}.text "${PACKAGE} (${UPLOADER_PACKAGE_VERSION}) unstable; urgency=medium

  * uploader-cli ${UPLOADER_VERSION_TEXT}.

 -- ${MAINTAINER}  ${date}
")
execute_process(COMMAND gzip -9n -c ${OUTPUT}.text OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
file(REMOVE ${OUTPUT}.text)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed: ${status}")
endif()
