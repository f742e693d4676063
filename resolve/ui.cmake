# The batch window, its worker thread and task creation: the part of link resolution that has windows
# and reaches the task table. Included by this folder's CMakeLists.txt.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(resolve_ui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ui_bridge.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/batch_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/resolve_worker.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/task_creation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/batch_host.cpp)
target_include_directories(resolve_ui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(resolve_ui PUBLIC resolve tasks store engine Qt6::Widgets Threads::Threads)

# Draws the documentation's pictures of both windows (docs/make-screenshots.sh runs it).
add_executable(window_screenshots EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/docs/window_screenshots.cpp)
target_link_libraries(window_screenshots PRIVATE app_lib resolve_ui engine_fake)
target_compile_definitions(window_screenshots PRIVATE MORVALIN_RUN_DIR="${MORVALIN_RUN_DIR}")
add_dependencies(window_screenshots store_data_file)

if(NOT BUILD_TESTING)
  return()
endif()

morvalin_test(NAME resolve_ui_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ui_bridge_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/batch_window_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/task_creation_test.cpp
  LIBS resolve_ui engine_fake testsupport Qt6::Test)
# The tests copy the delivered empty store, and run a program that ends in the middle of a batch.
add_executable(batch_exit_probe ${CMAKE_CURRENT_SOURCE_DIR}/batch_exit_probe.cpp)
target_link_libraries(batch_exit_probe PRIVATE resolve_ui Qt6::Test)
add_dependencies(resolve_ui_test store_data_file batch_exit_probe)
target_compile_definitions(resolve_ui_test PRIVATE BATCH_EXIT_PROBE="$<TARGET_FILE:batch_exit_probe>")

# The whole road of an address through the real engine library, store file and converter program.
morvalin_test(NAME resolve_e2e_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/batch_e2e_test.cpp
  LIBS resolve_ui testsupport Qt6::Test
  TIMEOUT 300)
add_dependencies(resolve_e2e_test store_data_file)
foreach(needed p2p kestrovan)
  if(TARGET ${needed})
    add_dependencies(resolve_e2e_test ${needed})
  endif()
endforeach()

