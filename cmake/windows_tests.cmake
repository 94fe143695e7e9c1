# The Windows build's tests (included from tests/CMakeLists.txt): the unit
# tests that need no POSIX system, and those of the Win32 layer, in one
# unit_tests.exe run under Wine as a single test, since each Wine start costs
# a second or more.
include(${CMAKE_CURRENT_LIST_DIR}/googletest_from_source.cmake)

set(tests_dir ${PROJECT_SOURCE_DIR}/tests)
# Pseudo-terminals, signals, fork and the POSIX layer's own headers.
set(posix_only_tests adapter_sim_test.cc at_exchange_test.cc console_keys_pty_test.cc
    exit_guard_test.cc operator_prompt_pty_test.cc serial_port_parity_test.cc
    serial_port_pty_test.cc)

file(GLOB support_sources CONFIGURE_DEPENDS ${tests_dir}/support/*.cc)
list(REMOVE_ITEM support_sources ${tests_dir}/support/pty.cc)
add_library(vostrel_test_support STATIC ${support_sources})
target_include_directories(vostrel_test_support PUBLIC ${tests_dir}/support
  # Tests of the Win32 layer reach its private headers.
  ${PROJECT_SOURCE_DIR}/platform/win32)
target_link_libraries(vostrel_test_support
  PUBLIC vostrel_cli vostrel_sim_model GTest::gtest GTest::gmock
  PRIVATE vostrel_build_flags)

file(GLOB unit_sources CONFIGURE_DEPENDS ${tests_dir}/unit/*_test.cc ${tests_dir}/unit/win32/*_test.cc)
list(TRANSFORM posix_only_tests PREPEND ${tests_dir}/unit/)
list(REMOVE_ITEM unit_sources ${posix_only_tests})
add_executable(unit_tests ${unit_sources})
target_link_libraries(unit_tests PRIVATE vostrel_test_support GTest::gtest_main vostrel_build_flags)
# Wine reaches the Linux file system through drive Z:.
target_compile_definitions(unit_tests PRIVATE TEST_DATA_DIR="Z:${tests_dir}/data")
set_target_properties(unit_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(WARNING "No Wine loader found: the Windows tests are not registered")
  return()
endif()
get_filename_component(wine_dir ${CMAKE_CROSSCOMPILING_EMULATOR} DIRECTORY)
find_program(WINESERVER NAMES wineserver PATHS ${wine_dir} REQUIRED)
set(WINE_PREFIX_TEMPLATE ${CMAKE_BINARY_DIR}/wine-prefix)
# No Mono or Gecko: nothing here needs them, and Wine would ask for them.
set(wine_environment WINEPREFIX=${WINE_PREFIX_TEMPLATE} WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=")

# Makes the build's Wine prefix (about ten seconds) and waits for its
# wineserver to end, so that runs may copy the prefix.
add_test(NAME wine_prefix
         COMMAND sh -c "${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i && ${WINESERVER} -w")
set_tests_properties(wine_prefix PROPERTIES
  ENVIRONMENT "${wine_environment}" FIXTURES_SETUP wine_prefix LABELS "unit;windows")

# With a terminal as console, as the program has when an operator runs it
# (Wine gives a program without one a console that takes no keys). Standard
# output and error stay plain pipes.
set(run_unit_tests "${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:unit_tests>")
add_test(NAME unit_tests_windows
         COMMAND sh -c "script -qec '${run_unit_tests} >&3 2>&4' /dev/null 3>&1 4>&2 </dev/null")
set_tests_properties(unit_tests_windows PROPERTIES
  ENVIRONMENT "${wine_environment}" FIXTURES_REQUIRED wine_prefix LABELS "unit;windows"
  TIMEOUT 300)
