# Installs the build into a scratch prefix and builds two hosts against it,
# as a user of the install would: the CMake project in consumer/
# (find_package(kavrel 1.0 CONFIG), target kavrel::kavrelcore) and the same
# C file compiled with pkg-config's flags. Each runs from another folder,
# with no LD_LIBRARY_PATH, and finds the installed library and the default
# package in the prefix's share/kavrel.
#   cmake -DBUILD=<build folder> -DWORK=<scratch folder> -DVERSION=<project version>
#         -DLIBDIR=<CMAKE_INSTALL_LIBDIR> -DCC=<C compiler> -P cmake_package.cmake
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/checks.cmake)
file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}")
expect_files("${prefix}" ${LIBDIR}/cmake/kavrel/kavrelConfig.cmake ${LIBDIR}/cmake/kavrel/kavrelConfigVersion.cmake
             ${LIBDIR}/pkgconfig/kavrelcore.pc include/kavrel.h include/kavrel_build.h share/kavrel/kavreldata.bin)

# What each host must print: both versions, the package it found and the address.
set(expected "${VERSION}|${VERSION}|${prefix}/share/kavrel/kavreldata.bin|東京都千代田区丸の内一丁目\n")
file(MAKE_DIRECTORY "${WORK}/elsewhere")
function(run_host what program)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=LD_LIBRARY_PATH "${program}"
                  WORKING_DIRECTORY "${WORK}/elsewhere" OUTPUT_VARIABLE output ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT output STREQUAL expected)
    message(FATAL_ERROR "${what}: status ${result}, \"${output}\" ${errors}\nexpected \"${expected}\"")
  endif()
  message("${what}: ${output}")
endfunction()

get_filename_component(source "${CMAKE_CURRENT_LIST_DIR}/consumer" ABSOLUTE)
run("configuring the consumer project" "${CMAKE_COMMAND}" -S "${source}" -B "${WORK}/consumer"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_C_COMPILER=${CC}")
run("building the consumer project" "${CMAKE_COMMAND}" --build "${WORK}/consumer")
run_host("find_package host" "${WORK}/consumer/kavrel_consumer")

# The README's pkg-config command: flags from the installed .pc file, and an
# rpath so that the host finds the library without LD_LIBRARY_PATH.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig"
                        pkg-config --cflags --libs kavrelcore
                OUTPUT_VARIABLE flags RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know kavrelcore")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run("building with pkg-config's flags ${flags}"
    "${CC}" "${source}/consumer.c" ${flags} "-Wl,-rpath,${prefix}/${LIBDIR}" -o "${WORK}/pkg-config-host")
run_host("pkg-config host" "${WORK}/pkg-config-host")
file(REMOVE_RECURSE "${WORK}")
