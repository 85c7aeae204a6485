# The one place that says how the build differs between the Windows architectures: x86, the
# deliverables' own, x64, the library's second build for 64-bit callers, and ARM64, its build
# for native processes on Windows on ARM.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL ARM64)
    set(VELMAR_ARCH arm64)
    # 6.2, what Microsoft's linker writes into an ARM64 image at the least: Windows 8, the
    # first Windows for ARM processors. No lower number names a Windows that ran on one, and
    # every Windows on ARM64 (10 and later) runs an image that asks for 6.2.
    set(VELMAR_WINDOWS_VERSION 6 2)
    set(VELMAR_DLLTOOL_MACHINE arm64)
    # As on x64, Windows finds handlers and walks the stack only through unwind data. A
    # function that sets up no frame and only branches on keeps its return address in the
    # link register, and Windows takes a function without an entry for exactly that: clang
    # leaves such leaves out and gives every other function its entry.
    set(VELMAR_CODE_OPTIONS -fasynchronous-unwind-tables)
    # mingw-w64 10's kernel-mode headers stop at ARM64 (ntddk.h and wdm.h: "Unknown
    # Architecture"), and its ARM64 import libraries have no ntoskrnl, hal, hidclass or
    # newdev: the virtual HID device, and the real-stack scenarios that need it, are built
    # for x86 and x64 only. Wine's own HID devices still serve the ARM64 tests.
    set(VELMAR_VIRTUAL_HID_DEVICE OFF)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELMAR_ARCH x64)
    # The first Windows for x64 (XP x64 and Server 2003 x64).
    set(VELMAR_WINDOWS_VERSION 5 2)
    # LLVM's dlltool's name for the machine.
    set(VELMAR_DLLTOOL_MACHINE i386:x86-64)
    # x64 Windows finds a caller's exception handler, and a debugger or crash dump walks the
    # stack, only through each function's unwind data (.pdata and .xdata): a function
    # without it is taken for a leaf, and the walk goes astray at the first frame it sets up.
    set(VELMAR_CODE_OPTIONS -fasynchronous-unwind-tables)
else()
    set(VELMAR_ARCH x86)
    # Every x86 image imports only functions that Windows 98, Me and NT 4.0 have.
    set(VELMAR_WINDOWS_VERSION 4 0)
    set(VELMAR_DLLTOOL_MACHINE i386)
    # Code for the i486, the oldest processor that Windows 98 runs on: mingw-w64's i686
    # default emits cmov, which faults on the Pentium, Pentium MMX and K6 that Windows 98, Me
    # and 2000 also run on. x86 exception handling is frame-based: no unwind tables.
    set(VELMAR_CODE_OPTIONS -march=i486 -fno-asynchronous-unwind-tables)
endif()
if(NOT DEFINED VELMAR_VIRTUAL_HID_DEVICE)
    set(VELMAR_VIRTUAL_HID_DEVICE ON)
endif()

# velmar_entry(<target> <function> <bytes of arguments>): the stdcall function that is the
# image's entry point (DllMain, a driver's DriverEntry); x86 names C symbols with a leading
# underscore and the decoration.
function(velmar_entry target function bytes)
    if(NOT VELMAR_ARCH STREQUAL x86)
        target_link_options(${target} PRIVATE -Wl,--entry,${function})
    else()
        target_link_options(${target} PRIVATE -Wl,--entry,_${function}@${bytes})
    endif()
endfunction()

# velmar_architecture_def(<source .def> <output .def>): a .def written with x86's decorated
# stdcall names (the bytes of arguments after an @), for this architecture: x64 and ARM64
# have one calling convention each and no decoration.
function(velmar_architecture_def source output)
    file(READ ${source} text)
    if(NOT VELMAR_ARCH STREQUAL x86)
        string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
    endif()
    # Written only when it changes, so that a new configure relinks nothing.
    set(old "")
    if(EXISTS ${output})
        file(READ ${output} old)
    endif()
    if(NOT old STREQUAL text)
        file(WRITE ${output} "${text}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()
