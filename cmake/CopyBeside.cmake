# Keeps copies of built files in the folders where tests run them, refreshed whenever the
# file is rebuilt (a copy made after a link would go stale when only the source changes).

# velmar_copy_beside(<target> <folder> [AS <file name>] [PART_OF <aggregate target>])
function(velmar_copy_beside source_target destination)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "AS;PART_OF" "")
    if(arg_AS)
        set(copy ${destination}/${arg_AS})
    else()
        set(copy ${destination}/$<TARGET_FILE_NAME:${source_target}>)
    endif()
    file(RELATIVE_PATH place ${CMAKE_BINARY_DIR} ${destination})
    string(MAKE_C_IDENTIFIER "copy_${source_target}_to_${place}_${arg_AS}" name)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${destination}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${source_target}> ${copy}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${source_target} $<TARGET_FILE:${source_target}>)
    add_custom_target(${name} ALL DEPENDS ${stamp})
    if(arg_PART_OF)
        add_dependencies(${arg_PART_OF} ${name})
    endif()
endfunction()
