# Picks the platform file of a pair: NAME_win32.cpp on Windows, NAME_posix.cpp elsewhere.
function(uploader_platform_source out dir name)
  if(WIN32)
    set(${out} ${dir}/${name}_win32.cpp PARENT_SCOPE)
  else()
    set(${out} ${dir}/${name}_posix.cpp PARENT_SCOPE)
  endif()
endfunction()
