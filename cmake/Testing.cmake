# Test registration. Native tests run directly; Windows tests run under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR, after a fixture has brought up the harness (private
# Japanese prefix, Xvfb, wineserver started with its stdio detached so ctest never
# waits on its inherited pipes).
#
# Some machines cannot execute 32-bit programs (scripts/wine-env.sh finds out once). There
# every test of a 32-bit Windows build, and every test that needs a 32-bit program, exits
# with 77 after a line "SKIPPED: <reason>", and ctest reports it as skipped: the emulator
# does this for 32-bit test programs, the prefix below for scripts.
if(NOT KANASIFT_BUILD_TESTS)
  return()
endif()
enable_testing()

set(KANASIFT_WINE_ENV ${PROJECT_SOURCE_DIR}/scripts/wine-env.sh)
set(KANASIFT_SKIP_CODE 77)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KANASIFT_WINE_BITS 32)
else()
  set(KANASIFT_WINE_BITS 64)
endif()

if(WIN32)
  add_test(NAME wine.up COMMAND ${KANASIFT_WINE_ENV} require ${CMAKE_BINARY_DIR} ${KANASIFT_WINE_BITS}
                                ${KANASIFT_WINE_ENV} up ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 SKIP_RETURN_CODE ${KANASIFT_SKIP_CODE})
  add_test(NAME wine.down COMMAND ${KANASIFT_WINE_ENV} require ${CMAKE_BINARY_DIR} ${KANASIFT_WINE_BITS}
                                  ${KANASIFT_WINE_ENV} down ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.down PROPERTIES FIXTURES_CLEANUP wine SKIP_RETURN_CODE ${KANASIFT_SKIP_CODE})
endif()

# kanasift_add_test(NAME <name> COMMAND <cmd...> [GUI] [NEEDS32] [TIMEOUT s] [LABELS l...])
#   GUI: the test uses the shared virtual desktop, windows, focus or typing; such tests
#   run one at a time.
#   NEEDS32: the test runs 32-bit programs as a whole (implied in 32-bit builds); it is
#   skipped where they cannot run. A test that needs them only for some cases skips those
#   cases itself (KANASIFT_RUN32 in its environment says whether they can run).
function(kanasift_add_test)
  cmake_parse_arguments(T "GUI;NEEDS32" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(WIN32)
    list(GET T_COMMAND 0 first)
    set(bits ${KANASIFT_WINE_BITS})
    if(T_NEEDS32)
      set(bits 32)
    endif()
    # A test program built here goes through the emulator, which skips a 32-bit one where
    # it cannot run; any other command (a script) is checked first.
    if(NOT TARGET ${first} AND bits EQUAL 32)
      list(PREPEND T_COMMAND ${KANASIFT_WINE_ENV} require ${CMAKE_BINARY_DIR} 32)
    endif()
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_ENVIRONMENT)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(WIN32)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine SKIP_RETURN_CODE ${KANASIFT_SKIP_CODE})
    if(T_GUI)
      set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK desktop)
    endif()
  endif()
endfunction()

# kanasift_add_gtest(<target> [GUI]): one ctest entry per GoogleTest executable. The
# command names the target, so that Windows builds run it through the emulator (Wine).
function(kanasift_add_gtest target)
  cmake_parse_arguments(G "GUI" "TIMEOUT" "" ${ARGN})
  set(gui)
  if(G_GUI)
    set(gui GUI)
  endif()
  if(NOT G_TIMEOUT)
    set(G_TIMEOUT 600)
  endif()
  kanasift_add_test(NAME ${target} COMMAND ${target} --gtest_brief=1 ${gui} TIMEOUT ${G_TIMEOUT})
endfunction()

# Tapline.dll beside the programs of the calling folder, for tests and benchmarks whose
# hook loads it into other processes from there: a target `<name>` that places the copy.
# The copy is made under a temporary name and renamed into place, because a DLL that Wine
# still keeps mapped in a running process must never be overwritten in place.
function(kanasift_place_tapline name)
  set(_dll_copy ${CMAKE_CURRENT_BINARY_DIR}/Tapline.dll)
  add_custom_command(
    OUTPUT ${_dll_copy}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Tapline> ${_dll_copy}.new
    COMMAND ${CMAKE_COMMAND} -E rename ${_dll_copy}.new ${_dll_copy}
    DEPENDS Tapline
    COMMENT "Placing Tapline.dll in ${CMAKE_CURRENT_BINARY_DIR}"
    VERBATIM)
  add_custom_target(${name} DEPENDS ${_dll_copy})
endfunction()
