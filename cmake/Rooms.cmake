# Each room of the house (engine/, drivers/, session/, cli/, ...) exports
# only its own folder: the build tree holds rooms/NAME/NAME, a link to the
# source folder, and that is the include path a room's library gives itself
# and whoever links it. "session/x.h" is then found by session/ and the front
# ends over it, and "cli/y.h" is not found from session/: the layering is
# enforced by the compiler, not only by a grep.
function(uploader_room target folder)
  set(dir ${CMAKE_BINARY_DIR}/rooms/${folder})
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
