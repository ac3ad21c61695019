# The project version (project() in the top CMakeLists.txt) is the one
# source of every version the programs and packages show. The build writes it,
# with what git says about the checkout, into version/ of the build tree:
# uploader_version.h (UPLOADER_VERSION, UPLOADER_VERSION_NUMBERS),
# version.cmake and version.env.
set(UPLOADER_VERSION_DIR ${PROJECT_BINARY_DIR}/version)
set(uploader_version_command ${CMAKE_COMMAND}
  -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT_DIR=${UPLOADER_VERSION_DIR}
  -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/WriteVersion.cmake)
add_custom_target(uploader_version
  COMMAND ${uploader_version_command}
  BYPRODUCTS ${UPLOADER_VERSION_DIR}/uploader_version.h ${UPLOADER_VERSION_DIR}/version.cmake
             ${UPLOADER_VERSION_DIR}/version.env
  COMMENT "Version of the checkout"
  VERBATIM)
# Once now as well, so the files are there before the first build.
execute_process(COMMAND ${uploader_version_command})

# uploader_versioned(<target> [<description> <product>])
# The target sees uploader_version.h; on Windows it also gets a version
# resource (cmake/version.rc.in) with the given description and product name.
function(uploader_versioned target)
  add_dependencies(${target} uploader_version)
  target_include_directories(${target} PRIVATE ${UPLOADER_VERSION_DIR})
  if(NOT WIN32 OR ARGC LESS 3)
    return()
  endif()
  set(UPLOADER_PROGRAM ${target})
  set(UPLOADER_DESCRIPTION ${ARGV1})
  set(UPLOADER_PRODUCT ${ARGV2})
  set(rc ${PROJECT_BINARY_DIR}/version/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target}
    PROPERTIES OBJECT_DEPENDS ${UPLOADER_VERSION_DIR}/uploader_version.h)
endfunction()
