# marl_subsystem(NAME LIBS...): one static library made of every .cpp beside the calling
# CMakeLists.txt, so adding a source file to a subsystem needs no edit here.
function(marl_subsystem name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC marl_flags ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE marl_flags ${ARGN})
  endif()
endfunction()

# marl_test(NAME DIR LIBS...): one GoogleTest executable of every .cpp in tests/DIR but the window
# tests (*_widget_test.cpp, see marl_gui_test).
function(marl_test name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "_widget_test\\.cpp$")
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE marl_test_support ${ARGN} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MARL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# marl_gui_test(NAME DIR GLOB LIBS...): one GoogleTest executable of the files matching GLOB in
# tests/DIR, with a QApplication of its own (tests/support/gui) on the offscreen platform.
function(marl_gui_test name dir glob)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/${glob})
  if(NOT srcs)
    return()
  endif()
  file(GLOB gui_support CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/gui/*.cpp)
  add_executable(${name} ${srcs} ${gui_support})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE marl_test_support marl_gui Qt6::Test ${ARGN} GTest::gtest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MARL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
