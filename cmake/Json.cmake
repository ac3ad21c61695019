# nlohmann/json (header-only) from Debian's nlohmann-json3-dev, as the
# target uploader_json. A cross build does not search the build machine's
# /usr/include, so it sees the library's own folder through a link.
if(TARGET uploader_json)
  return()
endif()
add_library(uploader_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
    PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
  set(json_dir ${CMAKE_BINARY_DIR}/third-party)
  file(MAKE_DIRECTORY ${json_dir})
  file(CREATE_LINK ${NLOHMANN_JSON_INCLUDE}/nlohmann ${json_dir}/nlohmann SYMBOLIC)
  target_include_directories(uploader_json SYSTEM INTERFACE ${json_dir})
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(uploader_json INTERFACE nlohmann_json::nlohmann_json)
endif()
