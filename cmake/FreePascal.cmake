# The Free Pascal cross compiler for this build's architecture, from the cache where
# scripts/free_pascal.sh builds it (Debian packages none), and the programs it compiles.
if(VELMAR_ARCH STREQUAL x64)
    set(free_pascal_target x86_64-win64)
    set(free_pascal_compiler ppcrossx64)
    set(VELMAR_PASCAL_OS win64)
else()
    set(free_pascal_target i386-win32)
    set(free_pascal_compiler ppcross386)
    set(VELMAR_PASCAL_OS win32)
endif()

velmar_cached(free_pascal_cache free-pascal)
find_program(VELMAR_PASCAL_COMPILER ${free_pascal_compiler}
    PATHS ${free_pascal_cache}/${free_pascal_target} NO_DEFAULT_PATH NO_CACHE)
# Without it, the Pascal programs are not built and the tests that need them fail, saying
# what is missing.
set(VELMAR_PASCAL_MISSING "")
if(NOT VELMAR_PASCAL_COMPILER)
    set(VELMAR_PASCAL_MISSING "The Free Pascal cross compiler ${free_pascal_compiler} is missing from ${free_pascal_cache}/${free_pascal_target}")
    return()
endif()
get_filename_component(free_pascal_dir ${VELMAR_PASCAL_COMPILER} DIRECTORY)
set(VELMAR_PASCAL_RTL_DIR ${free_pascal_dir}/units)

# velmar_pascal_program(<target> <source.pas> UNIT_DIRS <dir>... OUTPUT_DIR <dir>
#                       DEPENDS <target or file>...)
# The console program <target>.exe in OUTPUT_DIR, with the units of UNIT_DIRS compiled anew
# each time into a folder of the target's own, so that no unit compiled for another program
# or architecture is taken. DEPENDS names what the program and its units are made from.
function(velmar_pascal_program target source)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "OUTPUT_DIR" "UNIT_DIRS;DEPENDS")
    get_filename_component(source ${source} ABSOLUTE)
    set(units ${CMAKE_CURRENT_BINARY_DIR}/${target}_units)
    set(program ${arg_OUTPUT_DIR}/${target}.exe)
    list(TRANSFORM arg_UNIT_DIRS PREPEND -Fu OUTPUT_VARIABLE unit_paths)
    # Without the user's configuration files, smart-linked and stripped. The image holds no
    # time of its own (the internal linker writes none), and the compiler's date is fixed
    # when it is built.
    add_custom_command(OUTPUT ${program}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${units} ${arg_OUTPUT_DIR}
        COMMAND ${VELMAR_PASCAL_COMPILER} -n -T${VELMAR_PASCAL_OS} -O2 -B -XX -Xs -vw -l-
            -Fu${VELMAR_PASCAL_RTL_DIR} ${unit_paths} -FU${units} -FE${arg_OUTPUT_DIR}
            -o${target}.exe ${source}
        DEPENDS ${source} ${VELMAR_PASCAL_COMPILER} ${arg_DEPENDS}
        COMMENT "Compiling the Pascal program ${target}.exe"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${program})
endfunction()
