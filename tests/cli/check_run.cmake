# cmake -DRUN="emulator;program" -DARGS="a;b" -DEXPECT_EXIT=N -DEXPECT=REGEX -P check_run.cmake
# Runs the program, then checks its exit status and that its standard output
# and error, taken together, match REGEX.
set(command ${RUN} ${ARGS})
list(FILTER command EXCLUDE REGEX "^$")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 120)
string(REPLACE "\r\n" "\n" all "${out}${err}")
string(REPLACE "\n" " " flat "${all}")
if(NOT status STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "exit ${status}, expected ${EXPECT_EXIT}\n${all}")
endif()
if(NOT flat MATCHES "${EXPECT}")
  message(FATAL_ERROR "output does not match \"${EXPECT}\":\n${all}")
endif()
message(STATUS "${all}")
