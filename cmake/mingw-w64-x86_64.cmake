# Cross-builds for Windows (x86_64) with Debian's MinGW-w64 GCC.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TALVENOR_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
