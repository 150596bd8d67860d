# The module's GoogleTest suite as both builds define it, and the stand-ins
# for the G.729 library it loads: one with both entry points, one with only
# the encoder, one whose results overflow, each in a folder of its own,
# never next to the module.
foreach(kind full partial oversized)
  add_library(g729_stub_${kind} SHARED tests/fixtures/g729_stub_${kind}.c)
  set_target_properties(g729_stub_${kind} PROPERTIES OUTPUT_NAME CodecG729
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/g729-stub-${kind} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/g729-stub-${kind})
  if(WIN32)
    set_target_properties(g729_stub_${kind} PROPERTIES PREFIX "")
  endif()
endforeach()

# talvenor_test_suite(LEAVE_OUT regex [ADD source...] [LINK library...] [DEPENDS target...]):
# talvenor_tests of tests/support/ (tests/support/win32/ in place of its
# namesakes on Windows), every tests/**/*_test.cpp that LEAVE_OUT does not
# match and the sources ADD names, over the module's core and GoogleTest.
function(talvenor_test_suite)
  cmake_parse_arguments(PARSE_ARGV 0 suite "" "LEAVE_OUT" "ADD;LINK;DEPENDS")
  if(WIN32)
    talvenor_windows_sources(support ${CMAKE_SOURCE_DIR}/tests/support/win32 ${CMAKE_SOURCE_DIR}/tests/support)
  else()
    file(GLOB support CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
  endif()
  file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
  list(FILTER tests EXCLUDE REGEX "${suite_LEAVE_OUT}")
  add_executable(talvenor_tests ${support} ${tests} ${suite_ADD})
  target_include_directories(talvenor_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(talvenor_tests PRIVATE talvenor_core ${suite_LINK} GTest::gtest GTest::gtest_main GTest::gmock)
  add_dependencies(talvenor_tests talvenor g729_stub_full g729_stub_partial g729_stub_oversized ${suite_DEPENDS})
  target_compile_definitions(talvenor_tests PRIVATE TALVENOR_BIN_DIR="${TALVENOR_BIN_DIR}"
    TALVENOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TALVENOR_G729_STUB_FULL_DIR="${CMAKE_BINARY_DIR}/g729-stub-full"
    TALVENOR_G729_STUB_PARTIAL_DIR="${CMAKE_BINARY_DIR}/g729-stub-partial"
    TALVENOR_G729_STUB_OVERSIZED_DIR="${CMAKE_BINARY_DIR}/g729-stub-oversized")
endfunction()
