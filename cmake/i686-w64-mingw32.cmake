# Cross-compiles for 32-bit (x86) Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_target i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
