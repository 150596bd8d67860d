# The libraries of the Windows build, all linked statically so that the
# DLLs need nothing but the system: fmt header-only, libgsm, bcg729 and
# spandsp's loss concealment compiled from Debian's source packages (fetched
# by cmake/fetch_windows_sources.sh into TALVENOR_WINDOWS_SOURCES), and
# GoogleTest from the sources Debian's googletest package ships.
set(TALVENOR_WINDOWS_SOURCES "${CMAKE_BINARY_DIR}/sources" CACHE PATH
  "Unpacked upstream sources of libgsm, bcg729 and spandsp")

function(talvenor_source_folder out pattern)
  file(GLOB found LIST_DIRECTORIES true "${TALVENOR_WINDOWS_SOURCES}/${pattern}")
  list(FILTER found EXCLUDE REGEX "\\.tar\\.")
  if(NOT found)
    message(FATAL_ERROR "No ${pattern} under ${TALVENOR_WINDOWS_SOURCES}: run cmake/fetch_windows_sources.sh first")
  endif()
  list(GET found 0 folder)
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

# C code of others: their own warnings are not ours to fix.
set(TALVENOR_FOREIGN_C_FLAGS -w)

# --- fmt, header-only: only its folder goes on the include path -------------
set(fmt_include "${CMAKE_BINARY_DIR}/fmt-include")
file(MAKE_DIRECTORY ${fmt_include})
file(CREATE_LINK /usr/include/fmt ${fmt_include}/fmt SYMBOLIC)
add_library(fmt_header_only INTERFACE)
target_include_directories(fmt_header_only SYSTEM INTERFACE ${fmt_include})
target_compile_definitions(fmt_header_only INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS fmt_header_only)

# --- libgsm -----------------------------------------------------------------
talvenor_source_folder(gsm_dir "gsm-*")
set(gsm_names add code debug decode long_term lpc preprocess rpe gsm_destroy gsm_decode
  gsm_encode gsm_explode gsm_implode gsm_create gsm_print gsm_option short_term table)
list(TRANSFORM gsm_names PREPEND "${gsm_dir}/src/")
list(TRANSFORM gsm_names APPEND ".c")
add_library(gsm STATIC ${gsm_names})
target_include_directories(gsm PUBLIC ${gsm_dir}/inc)
# The options Debian builds its libgsm with.
target_compile_definitions(gsm PRIVATE SASR WAV49 NeedFunctionPrototypes=1)
target_compile_options(gsm PRIVATE ${TALVENOR_FOREIGN_C_FLAGS})

# --- bcg729 -------------------------------------------------------------------
talvenor_source_folder(bcg729_dir "bcg729-*")
file(GLOB bcg729_sources ${bcg729_dir}/src/*.c)
add_library(bcg729 STATIC ${bcg729_sources})
target_include_directories(bcg729 PUBLIC ${bcg729_dir}/include PRIVATE ${bcg729_dir}/src)
target_compile_definitions(bcg729 PUBLIC BCG729_STATIC)
target_compile_options(bcg729 PRIVATE ${TALVENOR_FOREIGN_C_FLAGS})

# --- spandsp's packet loss concealment ----------------------------------------
# Only plc.c is needed. Its headers declare every function dllimport and
# __stdcall whenever the Windows headers are in, which a static library
# cannot satisfy, so the build takes a copy with plain declarations.
talvenor_source_folder(spandsp_dir "spandsp-*")
set(plc_copy "${CMAKE_BINARY_DIR}/spandsp-plc")
file(COPY ${spandsp_dir}/src/plc.c ${spandsp_dir}/src/floating_fudge.h ${spandsp_dir}/src/spandsp
  DESTINATION ${plc_copy})
file(READ ${plc_copy}/spandsp/telephony.h telephony)
string(REPLACE "#if defined(_M_IX86)  ||  defined(_M_X64)" "#if 0" telephony "${telephony}")
file(WRITE ${plc_copy}/spandsp/telephony.h "${telephony}")
add_library(spandsp STATIC ${plc_copy}/plc.c)
target_include_directories(spandsp PUBLIC ${plc_copy})
# mingw-w64 has every float function spandsp would otherwise make up itself.
target_compile_definitions(spandsp PRIVATE HAVE_MATH_H HAVE_SINF HAVE_COSF HAVE_TANF HAVE_ASINF
  HAVE_ACOSF HAVE_ATANF HAVE_ATAN2F HAVE_CEILF HAVE_FLOORF HAVE_POWF HAVE_EXPF HAVE_LOGF HAVE_LOG10F)
target_compile_options(spandsp PRIVATE ${TALVENOR_FOREIGN_C_FLAGS})

# --- GoogleTest ---------------------------------------------------------------
if(EXISTS /usr/src/googletest/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # It names its targets GTest::gtest, GTest::gtest_main and GTest::gmock.
  set(GTest_FOUND TRUE)
endif()
