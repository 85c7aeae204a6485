# The deliverables depend on nothing but Windows itself: no C or C++ runtime DLL, no
# libgcc/libstdc++/winpthread DLL, no exceptions, no RTTI, no static constructors.
# The PE header asks for no newer system than the oldest one each architecture runs on.

# VELMAR_NO_RUNTIME_CALLS keeps the optimizer from turning plain loops into calls to
# memset/memcpy, which an image without a runtime does not have (clang's switch also keeps it
# from taking library functions for builtins). VELMAR_STATIC_HELPERS are where the static
# helpers such an image may still need come from (stack probes, 64-bit arithmetic on x86):
# libgcc; clang's ARM64 code needs none.
if(CMAKE_CXX_COMPILER_ID STREQUAL Clang)
    set(VELMAR_NO_RUNTIME_CALLS -fno-builtin)
    set(VELMAR_STATIC_HELPERS "")
else()
    set(VELMAR_NO_RUNTIME_CALLS -fno-tree-loop-distribute-patterns)
    set(VELMAR_STATIC_HELPERS gcc)
endif()

function(velmar_freestanding_binary target)
    list(GET VELMAR_WINDOWS_VERSION 0 major)
    list(GET VELMAR_WINDOWS_VERSION 1 minor)
    target_compile_options(${target} PRIVATE
        ${VELMAR_CODE_OPTIONS}
        -fno-exceptions -fno-rtti -fno-stack-protector
        -fno-threadsafe-statics
        ${VELMAR_NO_RUNTIME_CALLS})
    target_link_options(${target} PRIVATE
        -nostdlib
        -s -Wl,--no-insert-timestamp
        -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
        -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor})
    target_link_libraries(${target} PRIVATE ${VELMAR_STATIC_HELPERS})
endfunction()
