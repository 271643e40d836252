# Boost.Regex is header-only. Under mingw the compiler must not see the whole system
# include folder, so it gets a folder that holds only boost.
if(WIN32)
  set(_boost_only ${CMAKE_BINARY_DIR}/_deps/boost-include)
  if(NOT EXISTS ${_boost_only}/boost)
    file(MAKE_DIRECTORY ${_boost_only})
    file(CREATE_LINK /usr/include/boost ${_boost_only}/boost SYMBOLIC)
  endif()
  add_library(boost_headers INTERFACE)
  target_include_directories(boost_headers SYSTEM INTERFACE ${_boost_only})
else()
  find_path(BOOST_REGEX_INCLUDE boost/regex.hpp REQUIRED)
  add_library(boost_headers INTERFACE)
  target_include_directories(boost_headers SYSTEM INTERFACE ${BOOST_REGEX_INCLUDE})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Migemo.cmake)

# GoogleTest from Debian's source, built for every target with the same compiler.
if(KANASIFT_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
