# The Windows build's tests (included from tests/CMakeLists.txt): the unit
# tests that need no POSIX system, and those of the Win32 layer, in one
# unit_tests.exe run under Wine as a single test, since each Wine start costs
# a second or more.
include(${CMAKE_CURRENT_LIST_DIR}/googletest_from_source.cmake)

set(tests_dir ${PROJECT_SOURCE_DIR}/tests)
# Pseudo-terminals, signals, file modes, the POSIX layer's own headers and
# its made-up /sys.
set(posix_only_tests port_list_test.cc posix_test.cc slave_record_test.cc)

file(GLOB support_sources CONFIGURE_DEPENDS ${tests_dir}/support/*.cc)
add_library(vostrel_test_support STATIC ${support_sources})
target_include_directories(vostrel_test_support PUBLIC ${tests_dir}/support
  # Tests of the Win32 layer reach its private headers.
  ${PROJECT_SOURCE_DIR}/platform/win32)
# Wine reaches the Linux file system through drive Z:.
target_compile_definitions(vostrel_test_support PUBLIC TEST_DATA_DIR="Z:${tests_dir}/data")
target_link_libraries(vostrel_test_support
  PUBLIC vostrel_cli vostrel_sim_model GTest::gtest
  PRIVATE vostrel_build_flags)

file(GLOB unit_sources CONFIGURE_DEPENDS ${tests_dir}/unit/*_test.cc ${tests_dir}/unit/win32/*_test.cc)
list(TRANSFORM posix_only_tests PREPEND ${tests_dir}/unit/)
list(REMOVE_ITEM unit_sources ${posix_only_tests})
add_executable(unit_tests ${unit_sources})
target_link_libraries(unit_tests PRIVATE vostrel_test_support GTest::gtest_main vostrel_build_flags)
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

# Makes the build's Wine prefix once (about ten seconds), beside it and then
# moved in place, so that no half-made prefix is ever copied; each run copies
# it, after its wineserver has ended.
set(make_prefix "WINEPREFIX=$0.new ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i"
    "&& WINEPREFIX=$0.new ${WINESERVER} -w && mv $0.new $0")
list(JOIN make_prefix " " make_prefix)
add_test(NAME wine_prefix
         COMMAND sh -c "test -f $0/system.reg || { rm -rf $0.new && ${make_prefix}; }"
                 ${WINE_PREFIX_TEMPLATE})
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

# What the .zip holds, and --list under Wine.
add_test(NAME install_windows
         COMMAND bash ${tests_dir}/install/windows_install_test.sh ${CMAKE_BINARY_DIR}
                 ${PROJECT_VERSION} ${CMAKE_CROSSCOMPILING_EMULATOR} ${WINESERVER}
                 ${WINE_PREFIX_TEMPLATE})
set_tests_properties(install_windows PROPERTIES
  FIXTURES_REQUIRED wine_prefix LABELS "install;windows" TIMEOUT 120)

# End to end: the Linux build's scenarios, with adapter-sim on a
# pseudo-terminal, run VostrelCL.exe under Wine in place of the Linux program
# and hold it to the same transcripts and exit statuses; and the port
# vanishing mid-run.
set(VOSTREL_LINUX_BUILD_DIR ${PROJECT_SOURCE_DIR}/build CACHE PATH
    "The Linux build whose e2e_tests and adapter-sim drive the Windows program")
set(windows_scenarios
    EndToEnd.StatusFindsTheSettingsProgramLeft
    EndToEnd.StatusFindsTheBaudRateProgramLeft
    EndToEnd.AnAccentedNameReachesTheAdapterAsGiven
    EndToEnd.ResetWithTheButtonPressed
    EndToEnd.PairDialogue
    EndToEnd.MultipairThreeSlavesThenConnectAndDisconnect
    Faults/FaultScenario.EndsWithItsStatusAndLeavesEverythingAsItWas/APromptNoOneCanAnswerEndsTheRun
    FaultTest.CtrlCDuringAReadEndsTheRunAtOnce
    Faults/FaultScenario.EndsWithItsStatusAndLeavesEverythingAsItWas/VanishesInStatus
    Holds/HeldRecord.*)
# Holds a file open as Windows' own programs do, beside the program under test.
add_executable(hold_file ${tests_dir}/e2e/hold_file_win32.c)
target_link_libraries(hold_file PRIVATE vostrel_warnings)
set_target_properties(hold_file PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
foreach(scenario ${windows_scenarios})
  add_test(NAME e2e_windows.${scenario}
           COMMAND ${VOSTREL_LINUX_BUILD_DIR}/tests/e2e_tests --gtest_filter=${scenario})
  set_tests_properties(e2e_windows.${scenario} PROPERTIES
    ENVIRONMENT "VOSTREL_E2E_WINDOWS_PROGRAM=$<TARGET_FILE:VostrelCL>;VOSTREL_E2E_WINDOWS_HOLDER=$<TARGET_FILE:hold_file>;VOSTREL_E2E_WINE_LOADER=${CMAKE_CROSSCOMPILING_EMULATOR};VOSTREL_E2E_WINE_PREFIX=${WINE_PREFIX_TEMPLATE}"
    FIXTURES_REQUIRED wine_prefix LABELS "e2e;windows" TIMEOUT 300)
endforeach()
