# The tests of the Windows build, run under Wine by ctest (the toolchain's
# emulator). The module's suite leaves out what only Linux has: the phone
# tests (they start the Linux phone), the ini profile, child processes.
include(${CMAKE_SOURCE_DIR}/cmake/test_suite.cmake)
talvenor_test_suite(
  LEAVE_OUT "/tests/settings/qt/|/win32/|/tests/apps/|/tests/platform/profile_store_test\\.cpp$|/tests/module/startup_test\\.cpp$"
  DEPENDS CodecG729)
set_target_properties(talvenor_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_test(NAME windows.talvenor_tests COMMAND talvenor_tests WORKING_DIRECTORY ${TALVENOR_BIN_DIR})
set_tests_properties(windows.talvenor_tests PROPERTIES TIMEOUT 900)

# The Win32 dialogs, over the plugin DLL (they need a display: xvfb-run).
add_executable(talvenor_options_win32_tests tests/settings/win32/options_sheet_win32_test.cpp)
target_include_directories(talvenor_options_win32_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(talvenor_options_win32_tests PRIVATE GTest::gtest_main comctl32 user32)
set_target_properties(talvenor_options_win32_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(talvenor_options_win32_tests talvenor-options)
add_test(NAME windows.options_sheet COMMAND talvenor_options_win32_tests WORKING_DIRECTORY ${TALVENOR_BIN_DIR})

# The phone's Windows files.
add_executable(nuvex_phone_platform_tests tests/apps/win32/phone_platform_test.cpp
  apps/nuvex-phone/platform/win32/file_system.cpp apps/nuvex-phone/platform/win32/wav_files.cpp
  apps/nuvex-phone/platform/win32/wake_pipe.cpp apps/nuvex-phone/platform/win32/standard_streams.cpp
  apps/nuvex-phone/platform/win32/wide_text.cpp)
target_include_directories(nuvex_phone_platform_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(nuvex_phone_platform_tests PRIVATE GTest::gtest GTest::gtest_main winmm)
set_target_properties(nuvex_phone_platform_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_test(NAME windows.phone_platform COMMAND nuvex_phone_platform_tests WORKING_DIRECTORY ${TALVENOR_BIN_DIR})

# A host written in C drives the DLL through every CCom slot.
add_executable(c_host_abi_test tests/host/c_host_abi_test.c)
target_link_libraries(c_host_abi_test PRIVATE ws2_32 advapi32 user32)
set_target_properties(c_host_abi_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(c_host_abi_test talvenor)
add_test(NAME windows.c_host_abi COMMAND c_host_abi_test WORKING_DIRECTORY ${TALVENOR_BIN_DIR})
set_tests_properties(windows.c_host_abi PROPERTIES TIMEOUT 120)

# The Windows phone under Wine with SIPp and the Linux phone of the plain
# build (TALVENOR_LINUX_BIN_DIR, build/bin by default).
set(TALVENOR_LINUX_BIN_DIR "${CMAKE_SOURCE_DIR}/build/bin" CACHE PATH "The Linux build's bin folder")
add_test(NAME windows.wine_phone COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/wine_phone_test.sh
  ${TALVENOR_LINUX_BIN_DIR} ${TALVENOR_BIN_DIR})
set_tests_properties(windows.wine_phone PROPERTIES TIMEOUT 400 RUN_SERIAL ON)
