# The deliverables depend on nothing but Windows itself: no C or C++ runtime DLL, no
# libgcc/libstdc++/winpthread DLL, no exceptions, no RTTI, no static constructors.
# The PE header asks for no newer system than the oldest one each architecture runs on.
function(velmar_freestanding_binary target)
    list(GET VELMAR_WINDOWS_VERSION 0 major)
    list(GET VELMAR_WINDOWS_VERSION 1 minor)
    target_compile_options(${target} PRIVATE
        ${VELMAR_CODE_OPTIONS}
        -fno-exceptions -fno-rtti -fno-stack-protector
        -fno-threadsafe-statics
        # Keeps the optimizer from turning plain loops into calls to memset/memcpy,
        # which a runtime-free image does not have.
        -fno-tree-loop-distribute-patterns)
    target_link_options(${target} PRIVATE
        -nostdlib
        -s -Wl,--no-insert-timestamp
        -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
        -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor})
    # Only static helpers (stack probes, 64-bit arithmetic) come from libgcc.
    target_link_libraries(${target} PRIVATE gcc)
endfunction()
