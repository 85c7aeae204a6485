# Cross-compiles for ARM64 Windows with Debian's clang and lld: GCC has no aarch64 Windows
# target. The C and C++ runtime (mingw-w64's CRT with LLVM's compiler-rt, libunwind,
# libc++abi and libc++), which the simulator, hidlist and the test programs link, is the one
# the set-up builds once into the cache (scripts/arm64_runtime.sh); its wrappers of the
# compilers and of the resource compiler pass the target, the runtime and lld. The library
# itself links none of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/cache.sh arm64-runtime
    OUTPUT_VARIABLE VELMAR_ARM64_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(NOT EXISTS ${VELMAR_ARM64_RUNTIME}/bin/aarch64-w64-mingw32-clang++)
    message(FATAL_ERROR
        "The ARM64 C and C++ runtime is missing from ${VELMAR_ARM64_RUNTIME}: bash scripts/setup.sh builds it")
endif()

set(CMAKE_C_COMPILER ${VELMAR_ARM64_RUNTIME}/bin/aarch64-w64-mingw32-clang)
set(CMAKE_CXX_COMPILER ${VELMAR_ARM64_RUNTIME}/bin/aarch64-w64-mingw32-clang++)
set(CMAKE_RC_COMPILER ${VELMAR_ARM64_RUNTIME}/bin/aarch64-w64-mingw32-windres)
set(CMAKE_AR llvm-ar-14)
set(CMAKE_RANLIB llvm-ranlib-14)
set(CMAKE_DLLTOOL llvm-dlltool-14)
# The platform's DLLs are named where they are used, never added to every link.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)

set(CMAKE_FIND_ROOT_PATH ${VELMAR_ARM64_RUNTIME}/aarch64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
