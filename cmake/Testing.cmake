# Test registration. Native tests run directly; Windows tests run under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR, after a fixture has brought up the harness (private
# Japanese prefix, Xvfb, wineserver started with its stdio detached so ctest never
# waits on its inherited pipes).
if(NOT KANASIFT_BUILD_TESTS)
  return()
endif()
enable_testing()

if(WIN32)
  add_test(NAME wine.up COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-env.sh up ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine.down COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-env.sh down ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.down PROPERTIES FIXTURES_CLEANUP wine)
endif()

# kanasift_add_test(NAME <name> COMMAND <cmd...> [GUI] [TIMEOUT s] [LABELS l...])
#   GUI: the test uses the shared virtual desktop, windows, focus or typing; such tests
#   run one at a time.
function(kanasift_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
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
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine)
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
