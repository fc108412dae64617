# Helpers shared by the project's CMake files.

# velmora_glob(<var> <dir>): the .cpp files directly in <dir>, minus those named in EXCLUDE.
function(velmora_glob var dir)
  cmake_parse_arguments(G "" "" "EXCLUDE" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(x IN LISTS G_EXCLUDE)
    list(REMOVE_ITEM files ${dir}/${x})
  endforeach()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# velmora_module(<target> sources...): a sound module, libSound<Name>.so in the module folder.
function(velmora_module target)
  add_library(${target} MODULE ${ARGN})
  set_target_properties(${target} PROPERTIES
    PREFIX "lib"
    LIBRARY_OUTPUT_DIRECTORY ${VELMORA_MODULE_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${target} PRIVATE vl_soundabi)
endfunction()

# velmora_gtest(<target> sources... LIBS libs... [FONT_SETS sets...]): a GoogleTest program
# registered with ctest. With FONT_SETS it is built with the font-set support and registered once
# per set (VELMORA_TEST_FONTS), the first set under the plain test names, the others suffixed.
function(velmora_gtest target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FONT_SETS" ${ARGN})
  foreach(src IN LISTS T_SOURCES)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      message(STATUS "test ${target}: ${src} not written yet, skipped")
      return()
    endif()
  endforeach()
  add_executable(${target} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/sanitizerSuppressions.cpp)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE VELMORA_FACTORY_DATA="${PROJECT_SOURCE_DIR}/data" VELMORA_TESTS_DIR="${PROJECT_SOURCE_DIR}/tests" VELMORA_TSAN_SUPP="${PROJECT_SOURCE_DIR}/tests/support/tsan.supp" VELMORA_MODULE_DIR="${VELMORA_MODULE_DIR}" VELMORA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  if(NOT T_FONT_SETS)
    gtest_discover_tests(${target}
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
      DISCOVERY_TIMEOUT 60)
    return()
  endif()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/testFonts.cpp)
  list(GET T_FONT_SETS 0 first)
  foreach(set IN LISTS T_FONT_SETS)
    set(suffix "")
    if(NOT set STREQUAL first)
      set(suffix "/fonts:${set}")
    endif()
    gtest_discover_tests(${target}
      TEST_SUFFIX "${suffix}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ENVIRONMENT_MODIFICATION "VELMORA_TEST_FONTS=set:${set}"
      DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()
