# The Windows package: build/<preset>/Kanasift-<version>-<win32|win64>.zip with the
# programs, the dictionary, the texts for users (README, Kanasift.ini.sample) and the
# licences, and Kanasift-<version>-dictionary-source.zip with the dictionary's source. The texts are made on every preset, so that their tests run natively too;
# the zip (target "package", part of the default build) on the Windows presets only.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KANASIFT_PACKAGE_ARCH win64)
else()
  set(KANASIFT_PACKAGE_ARCH win32)
endif()
set(KANASIFT_PACKAGE_NAME Kanasift-${PROJECT_VERSION}-${KANASIFT_PACKAGE_ARCH})
set(KANASIFT_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${KANASIFT_PACKAGE_NAME}.zip)
set(KANASIFT_PACKAGE_TEXT_DIR ${CMAKE_BINARY_DIR}/package-texts)

set(_src ${PROJECT_SOURCE_DIR}/package)
set(_script ${_src}/make_package.py)
set(_templates ${_src}/README-en.txt ${_src}/README-ja.txt ${_src}/Kanasift.ini.sample
  ${PROJECT_SOURCE_DIR}/LICENSE)
set(_texts)
foreach(f README-en.txt README-ja.txt Kanasift.ini.sample LICENSE.txt)
  list(APPEND _texts ${KANASIFT_PACKAGE_TEXT_DIR}/${f})
endforeach()
add_custom_command(
  OUTPUT ${_texts}
  COMMAND Python3::Interpreter ${_script} texts --source ${_src} --out ${KANASIFT_PACKAGE_TEXT_DIR}
          --version ${PROJECT_VERSION} --arch ${KANASIFT_PACKAGE_ARCH}
  COMMAND ${CMAKE_COMMAND} -E touch ${_texts}
  DEPENDS ${_script} ${_templates}
  COMMENT "Writing the package's texts for Windows users"
  VERBATIM)
add_custom_target(package_texts ALL DEPENDS ${_texts})

if(NOT WIN32)
  return()
endif()

# The linker's maps of the programs tell which runtime objects are inside them, and so
# which notices the package owes.
set(_maps)
foreach(t Kanasift Tapline Spotter)
  set(_map ${CMAKE_BINARY_DIR}/package-maps/${t}.map)
  target_link_options(${t} PRIVATE -Wl,-Map=${_map})
  list(APPEND _maps ${_map})
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package-maps)

# The dictionary is GPL-2+: its source goes with the package as a second zip.
set(KANASIFT_DICT_SOURCE_ZIP ${CMAKE_BINARY_DIR}/Kanasift-${PROJECT_VERSION}-dictionary-source.zip)
add_custom_command(
  OUTPUT ${KANASIFT_PACKAGE_ZIP} ${KANASIFT_DICT_SOURCE_ZIP}
  COMMAND Python3::Interpreter ${_script} zip --source ${_src} --texts ${KANASIFT_PACKAGE_TEXT_DIR}
          --dist ${KANASIFT_DIST_DIR} --strip ${CMAKE_STRIP}
          --stage ${CMAKE_BINARY_DIR}/package-stage/${KANASIFT_PACKAGE_NAME} --out ${KANASIFT_PACKAGE_ZIP}
          --dict-source ${KANASIFT_DICT_SOURCE_ZIP} --maps ${_maps}
  DEPENDS ${_script} ${_texts} ${_src}/Dictionary-SKK-JISYO.txt ${_src}/Dictionary-source.txt
          Kanasift Tapline Spotter dist_dict
          $<TARGET_FILE:Kanasift> $<TARGET_FILE:Tapline> $<TARGET_FILE:Spotter>
  COMMENT "Packing ${KANASIFT_PACKAGE_NAME}.zip"
  VERBATIM)
add_custom_target(package ALL DEPENDS ${KANASIFT_PACKAGE_ZIP})
