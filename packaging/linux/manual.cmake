# Writes uploader-cli's manual page (gzipped) with help2man from the built
# program's --help and --version, dated by the commit it was built from.
#
#   cmake -DHELP2MAN=... -DCLI=... -DVERSION_FILE=... -DINCLUDE=....h2m
#         -DOUTPUT=.../uploader-cli.1.gz -P manual.cmake
include(${VERSION_FILE})
set(ENV{SOURCE_DATE_EPOCH} ${UPLOADER_SOURCE_DATE_EPOCH})
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --include=${INCLUDE}
          "--name=upload firmware into DMX512 lighting fixtures" --output=${OUTPUT}.page ${CLI}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed: ${status}")
endif()
execute_process(COMMAND gzip -9n -c ${OUTPUT}.page OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
file(REMOVE ${OUTPUT}.page)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed: ${status}")
endif()
