# Cross-compiles for Windows with mingw-w64, for the target that the including toolchain
# file names in mingw_target (i686-w64-mingw32 or x86_64-w64-mingw32). The posix
# thread-model variant is used for every target: GoogleTest needs it, and the deliverables
# link no C/C++ runtime at all, so the thread model never reaches them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${mingw_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_target}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_target}-windres)
set(CMAKE_AR ${mingw_target}-ar)
set(CMAKE_RANLIB ${mingw_target}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
