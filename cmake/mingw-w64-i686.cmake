# Cross-builds for Windows (i686) with Debian's MinGW-w64 GCC.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TALVENOR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
