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

# velmora_gtest(<target> sources... LIBS libs...): a GoogleTest program registered with ctest.
function(velmora_gtest target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  foreach(src IN LISTS T_SOURCES)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      message(STATUS "test ${target}: ${src} not written yet, skipped")
      return()
    endif()
  endforeach()
  add_executable(${target} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/sanitizerSuppressions.cpp)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE VELMORA_FACTORY_DATA="${PROJECT_SOURCE_DIR}/data" VELMORA_TSAN_SUPP="${PROJECT_SOURCE_DIR}/tests/support/tsan.supp" VELMORA_MODULE_DIR="${VELMORA_MODULE_DIR}" VELMORA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${target}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# velmora_forbid_qt(targets...): stops the configuration when one of the targets links Qt,
# directly or through the libraries it links (walked to the bottom).
function(velmora_forbid_qt)
  foreach(root IN LISTS ARGN)
    set(seen)
    set(todo ${root})
    while(todo)
      list(POP_FRONT todo t)
      if(t MATCHES "Qt[0-9]*::")
        message(FATAL_ERROR "${root} links ${t}, but it must build without Qt")
      endif()
      if(t IN_LIST seen OR NOT TARGET ${t})
        continue()
      endif()
      list(APPEND seen ${t})
      get_target_property(type ${t} TYPE)
      set(props INTERFACE_LINK_LIBRARIES)
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        list(APPEND props LINK_LIBRARIES)
      endif()
      foreach(p IN LISTS props)
        get_target_property(libs ${t} ${p})
        if(libs)
          list(APPEND todo ${libs})
        endif()
      endforeach()
    endwhile()
  endforeach()
endfunction()
