# SQLite for the records: Debian's libsqlite3-dev on Linux; on Windows the
# amalgamation that scripts/setup-debian.sh fetches (pinned by version and
# checksum) into third-party/sqlite/, compiled here as C without our
# warnings-as-errors. Either way the target is uploader_sqlite.
if(TARGET uploader_sqlite)
  return()
endif()
if(WIN32)
  set(UPLOADER_SQLITE_DIR ${PROJECT_SOURCE_DIR}/third-party/sqlite
      CACHE PATH "Folder holding SQLite's amalgamation (sqlite3.c, sqlite3.h)")
  if(NOT EXISTS ${UPLOADER_SQLITE_DIR}/sqlite3.c OR NOT EXISTS ${UPLOADER_SQLITE_DIR}/sqlite3.h)
    message(FATAL_ERROR
      "SQLite's amalgamation is not in ${UPLOADER_SQLITE_DIR}: run scripts/setup-debian.sh "
      "(it fetches and checks it), or set UPLOADER_SQLITE_DIR")
  endif()
  add_library(uploader_sqlite STATIC ${UPLOADER_SQLITE_DIR}/sqlite3.c)
  set_source_files_properties(${UPLOADER_SQLITE_DIR}/sqlite3.c PROPERTIES LANGUAGE C)
  target_include_directories(uploader_sqlite SYSTEM PUBLIC ${UPLOADER_SQLITE_DIR})
  target_compile_definitions(uploader_sqlite PRIVATE
    SQLITE_THREADSAFE=1 SQLITE_DQS=0 SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_DEPRECATED
    SQLITE_DEFAULT_FOREIGN_KEYS=0)
  # Other people's code: built as its authors build it, warnings not ours to fix.
  target_compile_options(uploader_sqlite PRIVATE -w)
else()
  find_package(SQLite3 REQUIRED)
  add_library(uploader_sqlite INTERFACE)
  target_link_libraries(uploader_sqlite INTERFACE SQLite::SQLite3)
endif()
