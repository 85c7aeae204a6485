# An MSVC-style toolchain for a caller's configure step: clang in clang-cl mode for the x86,
# x64 or ARM64 MSVC target, and lld-link. There are no Microsoft headers or libraries on this
# machine, so CMake's own checks compile without linking, and nothing is built with it.
#   -DVELMAR_CLANG_CL=<clang invoked as clang-cl> [-DVELMAR_MSVC_ARCH=x64|arm64]
set(CMAKE_SYSTEM_NAME Windows)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMAR_CLANG_CL VELMAR_MSVC_ARCH)
if(VELMAR_MSVC_ARCH STREQUAL x64)
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
    set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
elseif(VELMAR_MSVC_ARCH STREQUAL arm64)
    set(CMAKE_SYSTEM_PROCESSOR ARM64)
    set(CMAKE_C_COMPILER_TARGET aarch64-pc-windows-msvc)
else()
    set(CMAKE_SYSTEM_PROCESSOR X86)
    set(CMAKE_C_COMPILER_TARGET i686-pc-windows-msvc)
endif()
set(CMAKE_C_COMPILER ${VELMAR_CLANG_CL})
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib llvm-lib-14 REQUIRED)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
