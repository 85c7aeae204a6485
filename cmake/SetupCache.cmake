# What the set-up fetched or built once into the cache outside the clone (scripts/cache.sh
# names the places). Configuring only looks there: it never fetches. A piece that is missing
# takes down only the tests that need it, each failing with one line that names the command
# that brings it.

# The place of ITEM in the cache.
#   velmar_cached(<variable> <item>)
function(velmar_cached variable item)
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/cache.sh ${item}
        OUTPUT_VARIABLE place OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(${variable} ${place} PARENT_SCOPE)
endfunction()

# Registers TEST as a test that fails at once, saying that WHAT is missing from the cache.
#   velmar_missing_piece_test(<test> <what>)
function(velmar_missing_piece_test test what)
    add_test(NAME ${test}
        COMMAND sh -c "echo \"$0\" >&2; exit 1" "${what}: bash scripts/setup.sh brings it")
    velmar_test_route(${test} host)
endfunction()

# hidapi's sources, for the real-stack agreement test and the benchmark against hidapi.
velmar_cached(VELMAR_HIDAPI_SOURCES hidapi)
set(VELMAR_HIDAPI_MISSING "")
if(NOT EXISTS ${VELMAR_HIDAPI_SOURCES}/windows/hid.c)
    set(VELMAR_HIDAPI_MISSING "hidapi's sources are missing from ${VELMAR_HIDAPI_SOURCES}")
endif()

# The Windows .NET runtime of this build's architecture, on which the C# example runs.
velmar_cached(VELMAR_DOTNET_CACHE dotnet)
set(VELMAR_DOTNET_RUNTIME ${VELMAR_DOTNET_CACHE}/${VELMAR_ARCH})
set(VELMAR_DOTNET_MISSING "")
if(NOT EXISTS ${VELMAR_DOTNET_RUNTIME}/dotnet.exe)
    set(VELMAR_DOTNET_MISSING "The Windows .NET runtime is missing from ${VELMAR_DOTNET_RUNTIME}")
endif()

# The C and C++ runtime of the ARM64 build, whose clang compiles the kit's ARM64 callers.
velmar_cached(VELMAR_ARM64_RUNTIME arm64-runtime)
