# Every test program runs under Wine, in one prefix inside the build tree that the
# first test run creates and later runs reuse. A CTest fixture starts the session
# (a persistent wineserver and the prefix's services) before the first test and ends
# it after the last.
set(VELMAR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# The environment of each test (prefix, DLL overrides) is set by the test itself. A 64-bit
# prefix for the x64 build, run by the 64-bit loader; for the ARM64 build a 64-bit prefix of
# Debian's arm64 Wine, which runs under qemu-aarch64 (see scripts/lib.sh). VELMAR_WINE_KIND
# is what every test that starts Wine is told of which Wine it is.
if(VELMAR_ARCH STREQUAL x86)
    set(VELMAR_WINEARCH win32)
    set(VELMAR_WINE_KIND WINEARCH=win32)
elseif(VELMAR_ARCH STREQUAL x64)
    set(VELMAR_WINEARCH win64)
    set(VELMAR_WINE_KIND WINEARCH=win64)
else()
    set(VELMAR_WINEARCH win64)
    set(VELMAR_WINE_KIND WINEARCH=win64 VELMAR_WINE_MACHINE=arm64)
endif()

# Where Windows programs run on an emulated CPU, the project's scripts configure a factor
# by which every test's time bound stretches (start-up and whole runs take longer there;
# a program's own sleeps do not).
set(VELMAR_TIME_SCALE 1 CACHE STRING "Factor for every test's time bound (1 on a native CPU)")
function(velmar_test_timeout test seconds)
    math(EXPR scaled "${seconds} * ${VELMAR_TIME_SCALE}")
    set_tests_properties(${test} PROPERTIES TIMEOUT ${scaled})
endfunction()
# How this build's Windows programs run here, chosen by scripts/lib.sh: natively, under
# user-mode emulation (qemu-i386) or inside the emulated machine. The x64 build's run natively
# under 64-bit Wine on every x86-64 host, the ARM64 build's under user-mode emulation
# (qemu-aarch64) on every one.
set(VELMAR_WINDOWS_ROUTE native CACHE STRING "Route of this build's Windows programs: native, user-mode or machine")
if(VELMAR_ARCH STREQUAL x64)
    set(VELMAR_TEST_ROUTE native)
elseif(VELMAR_ARCH STREQUAL arm64)
    set(VELMAR_TEST_ROUTE user-mode)
else()
    set(VELMAR_TEST_ROUTE ${VELMAR_WINDOWS_ROUTE})
endif()
# Tests that load the machine (whole builds, compilers, an emulated machine, the random-world
# sweep, Wine's device services in the real-stack prefixes) each hold a lock of their own,
# so that they run beside each other; the tests that time keyboard lights and message boxes
# hold the desktop lock and every one of these, so that they run beside none of them.
set(VELMAR_LOAD_LOCKS compilers whole_build emulated_machine random_worlds_0 random_worlds_1
    real_hid_prefix real_hid_removal)
set(VELMAR_TIMED_TEST_LOCKS desktop ${VELMAR_LOAD_LOCKS})

# The order in which CTest starts the long tests (the highest cost first, among those whose
# fixture is ready and whose locks are free), so that both cores stay busy to the end: the
# emulated machine while the session starts, the timed tests whenever no load test holds a
# lock, and the load tests with the heads of the longest chains first (the real-stack
# scenarios share one prefix, the two whole builds one lock). Each test takes its cost where
# it is declared (velmar_test_route). CTest starts a test that others depend on before them,
# and only then orders by cost: a fixture's set-up before its tests, and those before its
# clean-up. So the session's clean-up depends on these tests too, which puts the ones that
# need no session in the same rank as those that do.
set(VELMAR_START_ORDER
    emulated_machine_route 1000
    devcmd_runs 900
    ledsignal_runs 900
    library_random_worlds_0 500
    library_random_worlds_1 500
    real_stack_devcmd 450
    real_stack_removal 400
    release_Reproducible 350
    real_stack_library 300
    real_stack_hidapi 300
    offline_after_setup 250)

# Each test carries its route as a CTest label, which CTest's summary totals and `ctest -L`
# selects by: route=native, route=user-mode or route=machine for the route its Windows
# programs take (this build's, unless it names another; 64-bit ones run natively), route=host
# for one that runs no Windows program.
#   velmar_test_route(test [route])
# Every test is declared with it, so it also gives every test CTest's skip (a test that
# cannot run here exits with VELMAR_SKIP_CODE after saying why, and CTest counts it as
# skipped, never as passed) and its place in VELMAR_START_ORDER.
set(VELMAR_SKIP_CODE 77)
function(velmar_test_route test)
    set(route ${VELMAR_TEST_ROUTE})
    if(ARGC GREATER 1)
        set(route ${ARGV1})
    endif()
    set_property(TEST ${test} APPEND PROPERTY LABELS route=${route})
    set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE ${VELMAR_SKIP_CODE})
    list(FIND VELMAR_START_ORDER ${test} position)
    if(position GREATER_EQUAL 0)
        math(EXPR position "${position} + 1")
        list(GET VELMAR_START_ORDER ${position} cost)
        set_tests_properties(${test} PROPERTIES COST ${cost})
    endif()
endfunction()
# Python's unittest tests run through this, followed by the modules or classes to run (from
# the test's working folder): it gives their skips as CTest's.
set(VELMAR_UNITTEST ${CMAKE_SOURCE_DIR}/tests/support/unittest_main.py)

# A test that runs no 32-bit code starts through this: where the suite runs inside the
# emulated machine it then runs on the host, many times faster; elsewhere it runs as is.
set(VELMAR_ON_HOST ${CMAKE_SOURCE_DIR}/emulated_machine/on_host.sh)
set(VELMAR_WINE_SESSION ${CMAKE_SOURCE_DIR}/scripts/wine_session.sh)
# Every test program starts through this, which alone knows Wine's environment: the
# prefix's screen and which DLLs come from beside the program.
set(VELMAR_RUN_UNDER_WINE ${CMAKE_SOURCE_DIR}/scripts/run_under_wine.sh)

add_test(NAME wine_session_start
    COMMAND ${VELMAR_WINE_SESSION} start ${VELMAR_WINEPREFIX})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session
    ENVIRONMENT "VELMAR_TIME_SCALE=${VELMAR_TIME_SCALE};${VELMAR_WINE_KIND}")
velmar_test_timeout(wine_session_start 180)
velmar_test_route(wine_session_start)
set(long_tests ${VELMAR_START_ORDER})
list(FILTER long_tests EXCLUDE REGEX "^[0-9]+$")
add_test(NAME wine_session_stop
    COMMAND ${VELMAR_WINE_SESSION} stop ${VELMAR_WINEPREFIX})
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session
    ENVIRONMENT "${VELMAR_WINE_KIND}" DEPENDS "${long_tests}")
velmar_test_route(wine_session_stop)

# What a test that runs Windows programs in the session is told of it.
set(VELMAR_WINE_ENVIRONMENT "VELMAR_WINEPREFIX=${VELMAR_WINEPREFIX}"
    "VELMAR_TIME_SCALE=${VELMAR_TIME_SCALE}" ${VELMAR_WINE_KIND})

# velmar_wine_test(NAME name PROGRAM path-to-exe [ARGS ...] [SIMULATOR|PLATFORM]
#                  [NATIVE dll ...] [ENVIRONMENT VAR=value ...] [RESOURCE_LOCK lock ...]
#                  [TIMEOUT s])
# SIMULATOR runs the program against the device simulator beside it; PLATFORM against
# Wine's own HID stack. NATIVE names other DLLs that come from beside the program.
function(velmar_wine_test)
    cmake_parse_arguments(PARSE_ARGV 0 arg "SIMULATOR;PLATFORM" "NAME;PROGRAM;TIMEOUT;WORKING_DIRECTORY"
        "ARGS;NATIVE;ENVIRONMENT;RESOURCE_LOCK;DEPENDS")
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 120)
    endif()
    set(beside "")
    if(arg_SIMULATOR)
        list(APPEND beside --simulator)
    endif()
    foreach(dll IN LISTS arg_NATIVE)
        list(APPEND beside --native ${dll})
    endforeach()
    get_filename_component(program_dir ${arg_PROGRAM} DIRECTORY)
    if(NOT arg_WORKING_DIRECTORY)
        set(arg_WORKING_DIRECTORY ${program_dir})
    endif()
    add_test(NAME ${arg_NAME}
        COMMAND ${VELMAR_RUN_UNDER_WINE} ${beside} ${VELMAR_WINEPREFIX} ${arg_PROGRAM} ${arg_ARGS}
        WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
    set_tests_properties(${arg_NAME} PROPERTIES
        FIXTURES_REQUIRED wine_session
        ENVIRONMENT "${VELMAR_WINE_ENVIRONMENT};${arg_ENVIRONMENT}")
    velmar_test_timeout(${arg_NAME} ${arg_TIMEOUT})
    velmar_test_route(${arg_NAME})
    if(arg_RESOURCE_LOCK)
        set_tests_properties(${arg_NAME} PROPERTIES RESOURCE_LOCK "${arg_RESOURCE_LOCK}")
    endif()
    if(arg_DEPENDS)
        set_tests_properties(${arg_NAME} PROPERTIES DEPENDS "${arg_DEPENDS}")
    endif()
endfunction()
