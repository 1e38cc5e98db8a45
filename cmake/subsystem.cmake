# marl_library(NAME SOURCES file... [LIBS lib...]): one static library of the listed sources of
# the calling folder, with the project's flags. Every folder under src/ lists its own files, so a
# file's library is the folder it lies in and nothing else.
function(marl_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC marl_flags ${ARG_LIBS})
endfunction()

# marl_test(NAME SOURCES file... [LIBS lib...]): one GoogleTest executable of the listed sources,
# each test found by ctest.
function(marl_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE marl_test_support ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MARL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# marl_gui_test(NAME SOURCES file... [LIBS lib...]): a GoogleTest executable of window tests, with
# a QApplication of its own (marl_gui_test_support) on the offscreen platform.
function(marl_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE marl_gui_test_support ${ARG_LIBS} GTest::gtest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MARL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
