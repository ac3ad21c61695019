# cmake -DRUN="emulator;program" -DARGS="a;b" -DEXPECT_EXIT=N -DEXPECT=REGEX [-DFIRST="c;d"]
#       [-DREPEAT=N] -P check_run.cmake
# Runs the program, then checks its exit status and that its standard output
# and error, taken together, match REGEX; with REPEAT, N times, each checked.
# FIRST, when given, is run before with the same program and must succeed (it
# makes what ARGS work on). "@DIR@" in ARGS or FIRST stands for a folder made
# afresh for this test run and removed after it, so that runs of the same
# test at the same time keep apart.

# A folder no other run has: a random name, never one that exists.
function(make_run_folder out)
  set(base "$ENV{TMPDIR}")
  if(NOT IS_ABSOLUTE "${base}")
    set(base /tmp)
  endif()
  foreach(attempt RANGE 20)
    string(RANDOM LENGTH 12 ALPHABET abcdefghijklmnopqrstuvwxyz0123456789 tag)
    set(dir "${base}/uploader-check-${tag}")
    if(NOT EXISTS "${dir}")
      file(MAKE_DIRECTORY "${dir}")
      set(${out} "${dir}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "cannot make a folder for the run under ${base}")
endfunction()

# Every run has a folder, where its service records go too.
set(run_dir "")
make_run_folder(run_dir)
set(ENV{XDG_DATA_HOME} "${run_dir}/data")
if("${ARGS};${FIRST}" MATCHES "@DIR@")
  string(REPLACE "@DIR@" "${run_dir}" ARGS "${ARGS}")
  string(REPLACE "@DIR@" "${run_dir}" FIRST "${FIRST}")
endif()

# Stops the check: removes the run's folder first.
function(fail text)
  if(run_dir)
    file(REMOVE_RECURSE "${run_dir}")
  endif()
  message(FATAL_ERROR "${text}")
endfunction()

if(FIRST)
  set(command ${RUN} ${FIRST})
  list(FILTER command EXCLUDE REGEX "^$")
  execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 120)
  if(NOT status STREQUAL "0")
    fail("the first run (${FIRST}) ended with ${status}\n${out}${err}")
  endif()
endif()

if(NOT REPEAT)
  set(REPEAT 1)
endif()
set(command ${RUN} ${ARGS})
list(FILTER command EXCLUDE REGEX "^$")
foreach(run RANGE 1 ${REPEAT})
  set(which "")
  if(REPEAT GREATER 1)
    set(which "run ${run} of ${REPEAT}: ")
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 120)
  string(REPLACE "\r\n" "\n" all "${out}${err}")
  string(REPLACE "\n" " " flat "${all}")
  if(NOT status STREQUAL EXPECT_EXIT)
    fail("${which}exit ${status}, expected ${EXPECT_EXIT}\n${all}")
  endif()
  if(NOT flat MATCHES "${EXPECT}")
    fail("${which}output does not match \"${EXPECT}\":\n${all}")
  endif()
endforeach()
if(run_dir)
  file(REMOVE_RECURSE "${run_dir}")
endif()
message(STATUS "${all}")
