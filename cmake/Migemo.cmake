# C/Migemo. Natively Debian's libmigemo; for Windows a static library built from
# Debian's source package (fetched once with apt-get source, patches applied by it).
if(NOT WIN32)
  find_path(MIGEMO_INCLUDE_DIR migemo.h REQUIRED)
  find_library(MIGEMO_LIBRARY migemo REQUIRED)
  add_library(migemo INTERFACE)
  target_include_directories(migemo INTERFACE ${MIGEMO_INCLUDE_DIR})
  target_link_libraries(migemo INTERFACE ${MIGEMO_LIBRARY})
  return()
endif()

set(_deps ${PROJECT_SOURCE_DIR}/build/_deps)
set(_src ${_deps}/cmigemo)
if(NOT EXISTS ${_src}/src/migemo.h)
  file(MAKE_DIRECTORY ${_deps})
  message(STATUS "Fetching C/Migemo source (apt-get source cmigemo)")
  execute_process(
    COMMAND sh -c "flock 9; if [ ! -f cmigemo/src/migemo.h ]; then rm -rf cmigemo cmigemo-* cmigemo_*; apt-get source -qq cmigemo >/dev/null 2>&1 && mv cmigemo-*/ cmigemo; fi" 9>.lock
    WORKING_DIRECTORY ${_deps}
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0 OR NOT EXISTS ${_src}/src/migemo.h)
    message(FATAL_ERROR "Could not fetch the cmigemo source package; run scripts/setup.sh (it adds the deb-src entries).")
  endif()
endif()

add_library(migemo STATIC
  ${_src}/src/charset.c ${_src}/src/filename.c ${_src}/src/migemo.c ${_src}/src/mnode.c
  ${_src}/src/romaji.c ${_src}/src/rxgen.c ${_src}/src/wordbuf.c ${_src}/src/wordlist.c)
target_include_directories(migemo SYSTEM PUBLIC ${_src}/src)
set_target_properties(migemo PROPERTIES C_STANDARD 99)
target_compile_options(migemo PRIVATE -O2 -w)
