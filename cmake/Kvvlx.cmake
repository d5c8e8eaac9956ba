# SPDX-License-Identifier: GPL-3.0-or-later
# kvvlx_library(NAME [QT ...] [LIBS ...]): a static library whose sources the area's own
# CMakeLists adds with target_sources; the repository root is on its include path so that
# headers are included as "area/Header.h".
function(kvvlx_library name)
  add_library(${name} STATIC)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${KVVLX_WARNINGS})
endfunction()

# kvvlx_qtest(NAME SOURCES ... LIBS ... [WIDGETS]): one Qt Test executable registered with CTest.
# Every test runs on Qt's offscreen platform so the suite needs no display.
function(kvvlx_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_options(${name} PRIVATE ${KVVLX_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=*.debug=false;ASAN_OPTIONS=detect_leaks=0")
endfunction()
