# Assembles the release folder and zip from a build folder:
#   cmake -DVELMAR_SOURCE_DIR=<source> -DVELMAR_BUILD_DIR=<build> -DVELMAR_VERSION=<version>
#         -DVELMAR_RELEASE_DIR=<folder> -P make_release.cmake
# Writes <folder>/velmar-<version>-win32/ and <folder>/velmar-<version>-win32.zip.
include(${CMAKE_CURRENT_LIST_DIR}/readme_examples.cmake)

set(name velmar-${VELMAR_VERSION}-win32)
set(folder ${VELMAR_RELEASE_DIR}/${name})
set(zip ${VELMAR_RELEASE_DIR}/${name}.zip)
file(REMOVE_RECURSE ${folder})

file(READ ${VELMAR_SOURCE_DIR}/release/README.md readme)
string(REPLACE "@VERSION@" "${VELMAR_VERSION}" readme "${readme}")
file(WRITE ${folder}/README.md "${readme}")
write_readme_examples("${readme}" ${folder}/examples)

# Each file in the release, then the file it comes from.
set(shipped
    bin/Velmar.dll                ${VELMAR_BUILD_DIR}/dist/Velmar.dll
    bin/devcmd.exe                ${VELMAR_BUILD_DIR}/dist/devcmd.exe
    bin/ledsignal.exe             ${VELMAR_BUILD_DIR}/dist/ledsignal.exe
    bin/hidlist.exe               ${VELMAR_BUILD_DIR}/examples/hidlist.exe
    include/velmar.h              ${VELMAR_SOURCE_DIR}/library/velmar.h
    lib/libVelmar.a               ${VELMAR_BUILD_DIR}/import_libraries/libVelmar.a
    lib/Velmar.lib                ${VELMAR_BUILD_DIR}/import_libraries/Velmar.lib
    lib/Velmar.def                ${VELMAR_SOURCE_DIR}/library/Velmar.def
    lib/cmake/Velmar/VelmarConfig.cmake          ${VELMAR_BUILD_DIR}/package/VelmarConfig.cmake
    lib/cmake/Velmar/VelmarConfigVersion.cmake   ${VELMAR_BUILD_DIR}/package/VelmarConfigVersion.cmake
    lib/pkgconfig/velmar.pc       ${VELMAR_BUILD_DIR}/package/velmar.pc
    examples/hidlist.c            ${VELMAR_SOURCE_DIR}/examples/hidlist.c
    simulator/devsim.dll          ${VELMAR_BUILD_DIR}/simulated/devsim.dll
    simulator/hid.dll             ${VELMAR_BUILD_DIR}/simulated/hid.dll
    simulator/setupapi.dll        ${VELMAR_BUILD_DIR}/simulated/setupapi.dll
    simulator/devsim.h            ${VELMAR_SOURCE_DIR}/device_simulator/include/devsim.h
    simulator/devsim.hpp          ${VELMAR_SOURCE_DIR}/device_simulator/include/devsim.hpp
    simulator/libdevsim.a         ${VELMAR_BUILD_DIR}/device_simulator/libdevsim.dll.a
    simulator/devsim.lib          ${VELMAR_BUILD_DIR}/import_libraries/devsim.lib
    simulator/README.md           ${VELMAR_SOURCE_DIR}/device_simulator/README.md
    simulator/example-world.txt   ${VELMAR_SOURCE_DIR}/release/example-world.txt)
while(shipped)
    list(POP_FRONT shipped file origin)
    get_filename_component(place ${folder}/${file} DIRECTORY)
    file(MAKE_DIRECTORY ${place})
    file(COPY_FILE ${origin} ${folder}/${file})
endwhile()

file(GLOB_RECURSE files RELATIVE ${folder} LIST_DIRECTORIES false ${folder}/*)
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
    file(SHA256 ${folder}/${file} sum)
    string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${folder}/SHA256SUMS "${sums}")
list(APPEND files SHA256SUMS)
list(SORT files)

# The zip is reproducible: its entries come in a fixed order, each dated 1980-01-01 00:00 UTC
# (the archiver takes every time stamp from SOURCE_DATE_EPOCH and writes the DOS date in
# local time), with the same permissions whatever the umask. It also records each file's
# owner by number, which therefore must be the same for two zips to be the same.
list(TRANSFORM files PREPEND ${folder}/ OUTPUT_VARIABLE paths)
file(CHMOD ${paths} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(TRANSFORM files PREPEND ${name}/ OUTPUT_VARIABLE entries)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=315532800 TZ=UTC0
            ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${entries}
    WORKING_DIRECTORY ${VELMAR_RELEASE_DIR}
    COMMAND_ERROR_IS_FATAL ANY)

message("${zip}")
foreach(file IN LISTS files)
    file(SIZE ${folder}/${file} size)
    string(LENGTH "${size}" digits)
    math(EXPR padding "8 - ${digits}")
    string(REPEAT " " ${padding} spaces)
    message("  ${spaces}${size}  ${file}")
endforeach()
