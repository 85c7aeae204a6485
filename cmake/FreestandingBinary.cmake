# The deliverables depend on nothing but Windows itself: no C or C++ runtime DLL, no
# libgcc/libstdc++/winpthread DLL, no exceptions, no RTTI, no static constructors.
# They run on every Windows from 2000 on, so the PE header asks for no newer system.
function(velmar_freestanding_binary target)
    target_compile_options(${target} PRIVATE
        -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-stack-protector
        -fno-threadsafe-statics
        # Keeps the optimizer from turning plain loops into calls to memset/memcpy,
        # which a runtime-free image does not have.
        -fno-tree-loop-distribute-patterns)
    target_link_options(${target} PRIVATE
        -nostdlib
        -s -Wl,--no-insert-timestamp
        -Wl,--major-os-version,5 -Wl,--minor-os-version,0
        -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0)
    # Only static helpers (stack probes, 64-bit arithmetic) come from libgcc.
    target_link_libraries(${target} PRIVATE gcc)
endfunction()
