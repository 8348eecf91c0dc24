# Fails when the link command of a program that links only velmora_core names Qt or X11.
# Run with: cmake -DBUILD_DIR=<build folder> -DPROBE=<probe executable> -DPROBE_NAME=<its target>
#   -DPROBE_BINARY_DIR=<the binary folder of its CMakeLists.txt> -P CheckCoreLinks.cmake

if(EXISTS "${BUILD_DIR}/build.ninja")
    file(READ "${BUILD_DIR}/build.ninja" ninja)
    file(RELATIVE_PATH probe "${BUILD_DIR}" "${PROBE}")
    string(FIND "${ninja}" "\nbuild ${probe}:" start)
    if(start EQUAL -1)
        message(FATAL_ERROR "No link rule for ${probe} in ${BUILD_DIR}/build.ninja")
    endif()
    string(SUBSTRING "${ninja}" ${start} -1 rest)
    string(FIND "${rest}" "\n\n" end)
    string(SUBSTRING "${rest}" 0 ${end} command)
else()
    # Makefile generators keep the command beside the target's objects.
    set(link_file "${PROBE_BINARY_DIR}/CMakeFiles/${PROBE_NAME}.dir/link.txt")
    if(NOT EXISTS "${link_file}")
        message(FATAL_ERROR "No link command for ${PROBE_NAME}: neither ${BUILD_DIR}/build.ninja nor ${link_file}")
    endif()
    file(READ "${link_file}" command)
endif()

if(NOT command MATCHES "pugixml")
    message(FATAL_ERROR "The link command of ${PROBE_NAME} does not name pugixml; it was not read right:\n${command}")
endif()
string(REGEX MATCHALL "[^ \n]*(Qt[0-9]|[Xx]11|[Xx]tst|xcb)[^ \n]*" forbidden "${command}")
if(forbidden)
    message(FATAL_ERROR "velmora_core pulls window-system libraries into its users' link: ${forbidden}")
endif()
message(STATUS "velmora_core links no Qt and no X11")
