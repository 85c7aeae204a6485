# GoogleTest from Debian's sources, built for the target. Test programs are linked
# statically so that they run under Wine with nothing beside them but what they test.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

function(velmar_static_test_program target)
    target_link_options(${target} PRIVATE -static)
    target_link_libraries(${target} PRIVATE gtest_main gmock)
endfunction()
