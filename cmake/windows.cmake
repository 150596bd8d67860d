# The Windows build (MinGW-w64, from cmake/mingw-w64-*.cmake): the module as
# talvenor.dll, its G.729 library as CodecG729.dll, and the tests that run
# under Wine. The sources are the Linux build's: a file in a folder's win32/
# subfolder takes the place of the file of the same name.
include(${CMAKE_SOURCE_DIR}/cmake/windows_deps.cmake)

# Windows 7 and later; UTF-16 ("W") functions throughout.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX)
# Nothing but system DLLs next to ours: the C and C++ runtimes of GCC and
# its thread library are linked in.
add_link_options(-static -static-libgcc -static-libstdc++)

# talvenor_windows_sources(OUT WIN32_DIR DIR...): the .cpp files of each DIR,
# with those of WIN32_DIR in place of the files of the same name.
function(talvenor_windows_sources out win32_dir)
  file(GLOB replacements CONFIGURE_DEPENDS ${win32_dir}/*.cpp)
  set(result ${replacements})
  foreach(dir ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    foreach(replacement ${replacements})
      get_filename_component(name ${replacement} NAME)
      list(REMOVE_ITEM sources ${dir}/${name})
    endforeach()
    list(APPEND result ${sources})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# --- the module ---------------------------------------------------------------
set(TALVENOR_SOURCES)
foreach(dir ${TALVENOR_SUBSYSTEMS})
  talvenor_windows_sources(dir_sources ${CMAKE_SOURCE_DIR}/${dir}/win32 ${CMAKE_SOURCE_DIR}/${dir})
  list(APPEND TALVENOR_SOURCES ${dir_sources})
endforeach()
# The CCon statics of the DLL find the host's own; the tests link theirs.
list(REMOVE_ITEM TALVENOR_SOURCES ${CMAKE_SOURCE_DIR}/module/win32/host_statics.cpp)
# The settings' Win32 view is the dialogs plugin, not part of the module.
list(FILTER TALVENOR_SOURCES EXCLUDE REGEX "/settings/win32/")

enable_language(RC)
# The message texts travel as string resources in every binary that holds
# the module's code: MessageText reads them from the module holding it.
add_library(talvenor_objects OBJECT ${TALVENOR_SOURCES} platform/win32/messages.rc)
target_include_directories(talvenor_objects PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(talvenor_objects PUBLIC fmt::fmt gsm spandsp Threads::Threads
  ws2_32 iphlpapi bcrypt winmm shell32 user32 advapi32)

# Exports CreateCom alone (module/talvenor.def), with no "lib" in its name.
add_library(talvenor SHARED module/win32/host_statics.cpp module/talvenor.def)
target_link_libraries(talvenor PRIVATE talvenor_objects)
set_target_properties(talvenor PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})

add_library(talvenor_core STATIC)
target_link_libraries(talvenor_core PUBLIC talvenor_objects)
# The linker takes from an archive only members that define a needed symbol,
# and the string table defines none: each program linking the core compiles
# the texts in itself.
target_sources(talvenor_core INTERFACE ${CMAKE_SOURCE_DIR}/platform/win32/messages.rc)

add_library(CodecG729 SHARED codec-g729/codec_g729.cpp codec-g729/CodecG729.def)
target_include_directories(CodecG729 PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(CodecG729 PRIVATE bcg729)
set_target_properties(CodecG729 PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(talvenor CodecG729)

# --- the dialogs plugin: talvenor-options.dll over settings/options_pages.h ---
# Links none of the module's code; the module loads it by name on first use.
file(GLOB OPTIONS_VIEW_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/settings/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/settings/win32/platform/*.cpp)
add_library(talvenor-options SHARED ${OPTIONS_VIEW_SOURCES}
  settings/win32/options.rc settings/win32/plugin_exports.def)
target_include_directories(talvenor-options PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(talvenor-options PRIVATE comctl32 shell32 shlwapi user32 gdi32)
set_target_properties(talvenor-options PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(talvenor talvenor-options)

# Pictures of the dialogs: wine talvenor-options-shots.exe DIR (needs a display).
add_executable(talvenor-options-shots tests/tools/win32_options_shots.cpp)
target_include_directories(talvenor-options-shots PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(talvenor-options-shots PRIVATE gdiplus gdi32 comctl32 user32)
target_link_options(talvenor-options-shots PRIVATE -municode)
set_target_properties(talvenor-options-shots PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(talvenor-options-shots talvenor-options)

# --- the phone ----------------------------------------------------------------
# apps/nuvex-phone/platform/win32/ replaces same-named files of the phone's
# platform/. NUVEX_HOST: the phone exports the CCon statics that the module
# looks up.
talvenor_windows_sources(PHONE_SOURCES ${CMAKE_SOURCE_DIR}/apps/nuvex-phone/platform/win32
  ${CMAKE_SOURCE_DIR}/apps/nuvex-phone ${CMAKE_SOURCE_DIR}/apps/nuvex-phone/platform)
add_executable(nuvex-phone ${PHONE_SOURCES})
target_include_directories(nuvex-phone PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(nuvex-phone PRIVATE NUVEX_HOST)
target_link_libraries(nuvex-phone PRIVATE Threads::Threads winmm ws2_32 iphlpapi advapi32)
set_target_properties(nuvex-phone PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TALVENOR_BIN_DIR})
add_dependencies(nuvex-phone talvenor)
configure_file(apps/nuvex-phone/help/Nuvex.html ${TALVENOR_BIN_DIR}/Nuvex.html COPYONLY)

# --- tests under Wine ---------------------------------------------------------
enable_testing()
if(GTest_FOUND)
  include(${CMAKE_SOURCE_DIR}/tests/windows_tests.cmake)
endif()
