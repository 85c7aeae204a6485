# GoogleTest from Debian's sources, built for the target. Test programs are linked
# statically so that they run under Wine with nothing beside them but what they test.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Test code (GoogleTest, the test programs and their tools) is compiled for a quick build
# rather than for speed, after the build type's options: GoogleTest alone takes half a minute
# at -O3 and a fifth of that at -O1, and every test source spends most of its time in its
# headers. What the tests measure, the deliverables and the simulator, keeps the build
# type's options.
set(VELMAR_TEST_CODE_OPTIMIZATION -O1)
foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE ${VELMAR_TEST_CODE_OPTIMIZATION})
endforeach()

function(velmar_static_test_program target)
    target_link_options(${target} PRIVATE -static)
    target_link_libraries(${target} PRIVATE gtest_main gmock)
endfunction()
