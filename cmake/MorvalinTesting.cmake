# morvalin_test(NAME name SOURCES a_test.cpp ... LIBS lib ...)
# One GoogleTest executable per subsystem area; every case is registered with CTest.
# Tests run with the offscreen Qt platform so that windows need no display.
if(BUILD_TESTING)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(morvalin_test)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE MORVALIN_RUN_DIR="${MORVALIN_RUN_DIR}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT})
endfunction()
