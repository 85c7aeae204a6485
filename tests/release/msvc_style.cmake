# An MSVC-style toolchain for a caller's configure step: clang in clang-cl mode for the
# 32-bit MSVC target, and lld-link. There are no Microsoft headers or libraries on this
# machine, so CMake's own checks compile without linking, and nothing is built with it.
#   -DVELMAR_CLANG_CL=<clang invoked as clang-cl>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
set(CMAKE_C_COMPILER ${VELMAR_CLANG_CL})
set(CMAKE_C_COMPILER_TARGET i686-pc-windows-msvc)
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib llvm-lib-14 REQUIRED)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
