# Assembles the release folder and zip from a build folder:
#   cmake -DVELMAR_SOURCE_DIR=<source> -DVELMAR_BUILD_DIR=<x86 build>
#         -DVELMAR_X64_BUILD_DIR=<x64 build> -DVELMAR_ARM64_BUILD_DIR=<ARM64 build>
#         -DVELMAR_VERSION=<version>
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

# The files of one architecture's library, hidlist and simulator from its build folder,
# under <place>/ in the kit.
function(architecture_files out place build)
    set(${out}
        ${place}bin/Velmar.dll            ${build}/dist/Velmar.dll
        ${place}bin/hidlist.exe           ${build}/examples/hidlist.exe
        ${place}lib/libVelmar.a           ${build}/import_libraries/libVelmar.a
        ${place}lib/Velmar.lib            ${build}/import_libraries/Velmar.lib
        ${place}lib/Velmar.def            ${build}/library/Velmar.def
        ${place}lib/pkgconfig/velmar.pc   ${build}/package/velmar.pc
        ${place}simulator/devsim.dll      ${build}/simulated/devsim.dll
        ${place}simulator/hid.dll         ${build}/simulated/hid.dll
        ${place}simulator/setupapi.dll    ${build}/simulated/setupapi.dll
        ${place}simulator/libdevsim.a     ${build}/device_simulator/libdevsim.dll.a
        ${place}simulator/devsim.lib      ${build}/import_libraries/devsim.lib
        PARENT_SCOPE)
endfunction()

# Each file in the release, then the file it comes from: the x86 files where the kit has
# always had them, the x64 and ARM64 ones in the same places under x64/ and arm64/, and one
# set of headers, package files, examples and documents for all three.
architecture_files(x86_files "" ${VELMAR_BUILD_DIR})
architecture_files(x64_files "x64/" ${VELMAR_X64_BUILD_DIR})
architecture_files(arm64_files "arm64/" ${VELMAR_ARM64_BUILD_DIR})
set(shipped
    ${x86_files}
    bin/devcmd.exe                ${VELMAR_BUILD_DIR}/dist/devcmd.exe
    bin/ledsignal.exe             ${VELMAR_BUILD_DIR}/dist/ledsignal.exe
    ${x64_files}
    ${arm64_files}
    include/velmar.h              ${VELMAR_SOURCE_DIR}/library/velmar.h
    lib/cmake/Velmar/VelmarConfig.cmake          ${VELMAR_BUILD_DIR}/package/VelmarConfig.cmake
    lib/cmake/Velmar/VelmarConfigVersion.cmake   ${VELMAR_BUILD_DIR}/package/VelmarConfigVersion.cmake
    examples/hidlist.c            ${VELMAR_SOURCE_DIR}/examples/hidlist.c
    examples/hidlist.pas          ${VELMAR_SOURCE_DIR}/examples/hidlist.pas
    examples/hidlist.cs           ${VELMAR_SOURCE_DIR}/examples/hidlist.cs
    bindings/velmar.py            ${VELMAR_BUILD_DIR}/bindings/velmar.py
    bindings/Velmar.pas           ${VELMAR_BUILD_DIR}/bindings/Velmar.pas
    bindings/Velmar.cs            ${VELMAR_BUILD_DIR}/bindings/Velmar.cs
    bindings/Velmar.bas           ${VELMAR_BUILD_DIR}/bindings/Velmar.bas
    simulator/devsim.h            ${VELMAR_SOURCE_DIR}/device_simulator/include/devsim.h
    simulator/devsim.hpp          ${VELMAR_SOURCE_DIR}/device_simulator/include/devsim.hpp
    simulator/README.md           ${VELMAR_SOURCE_DIR}/device_simulator/README.md
    simulator/example-world.txt   ${VELMAR_SOURCE_DIR}/release/example-world.txt)
# The manual whole, as its build wrote it: manual/html/ and manual/man/man3/.
set(manual ${VELMAR_BUILD_DIR}/manual)
file(GLOB_RECURSE pages RELATIVE ${manual} LIST_DIRECTORIES false ${manual}/html/* ${manual}/man/*)
list(SORT pages)
foreach(page IN LISTS pages)
    list(APPEND shipped manual/${page} ${manual}/${page})
endforeach()
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
