# Builds the Debian package from the source tree, as the README says, in a
# scratch build folder configured for the prefix /usr, and checks it without
# installing it: its control fields, its files unpacked into a scratch root
# (dpkg-deb -x), the library's soname and links, the programs' RUNPATH, and
# the unpacked kavrel answering from the package's own data, with /data and
# without (found through share/kavrel beside its prefix).
#   cmake -DSOURCE=<source folder> -DWORK=<scratch folder> -DVERSION=<project version>
#         -DGENERATOR=<CMake generator> [-DSERVE=ON] -P debian_package.cmake
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/checks.cmake)
file(REMOVE_RECURSE "${WORK}")
set(build "${WORK}/build")
set(root "${WORK}/root")
run("configure" "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${build}" -G "${GENERATOR}" -DCMAKE_INSTALL_PREFIX=/usr
    -DKAVREL_BUILD_TESTS=OFF -DKAVREL_BUILD_BENCH=OFF)
run("build" "${CMAKE_COMMAND}" --build "${build}" -j2)
run("cmake --build --target package" "${CMAKE_COMMAND}" --build "${build}" --target package)
set(deb "${build}/kavrel_${VERSION}_amd64.deb")
if(NOT EXISTS "${deb}")
  file(GLOB made "${build}/*.deb")
  message(FATAL_ERROR "no ${deb}; the build made: ${made}")
endif()

# The control fields: the name, version and architecture, and what the
# programs and the library link.
function(field name out)
  execute_process(COMMAND dpkg-deb -f "${deb}" ${name} OUTPUT_VARIABLE value RESULT_VARIABLE result
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -f ${deb} ${name} failed")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
field(Package package)
field(Version version)
field(Architecture architecture)
if(NOT package STREQUAL "kavrel" OR NOT version STREQUAL VERSION OR NOT architecture STREQUAL "amd64")
  message(FATAL_ERROR "control fields: Package ${package}, Version ${version}, Architecture ${architecture}")
endif()
field(Depends depends)
string(REGEX REPLACE " *\\([^)]*\\)" "" names "${depends}")
string(REPLACE ", " ";" names "${names}")
set(needed libc6 libstdc++6 zlib1g)
if(SERVE)
  list(APPEND needed libcpp-httplib0.11)
endif()
foreach(name IN LISTS needed)
  if(NOT name IN_LIST names)
    message(FATAL_ERROR "Depends: ${depends} lacks ${name}")
  endif()
endforeach()

run("dpkg-deb -x" dpkg-deb -x "${deb}" "${root}")
set(libdir usr/lib/x86_64-linux-gnu)
set(files usr/bin/kavrel usr/bin/kavrel-pack ${libdir}/libkavrelcore.so.${VERSION} ${libdir}/pkgconfig/kavrelcore.pc
    ${libdir}/cmake/kavrel/kavrelConfig.cmake ${libdir}/cmake/kavrel/kavrelConfigVersion.cmake
    usr/include/kavrel.h usr/include/kavrelcore.h usr/include/kavrel_results.h usr/include/kavrel_build.h
    usr/share/kavrel/kavreldata.bin usr/share/kavrel/kavreldata-attribution.txt
    usr/share/man/man1/kavrel.1 usr/share/man/man1/kavrel-pack.1 usr/share/doc/kavrel/copyright
    usr/lib/python3/dist-packages/kavrel/__init__.py usr/lib/python3/dist-packages/kavrel/_build.py)
if(SERVE)
  list(APPEND files usr/bin/kavrel-serve usr/share/man/man1/kavrel-serve.1)
endif()
expect_files("${root}" ${files})
foreach(folder usr/local bin lib usr/lib/python3/site-packages)
  if(EXISTS "${root}/${folder}")
    message(FATAL_ERROR "the package has /${folder}, outside Debian's layout")
  endif()
endforeach()

# The soname link and the unversioned one that the console loads by name.
execute_process(COMMAND readelf -d "${root}/${libdir}/libkavrelcore.so.${VERSION}" OUTPUT_VARIABLE dynamic)
string(REGEX MATCH "Library soname: \\[([^]]*)\\]" ignored "${dynamic}")
set(soname "${CMAKE_MATCH_1}")
string(REGEX MATCH "^[0-9]+" major "${VERSION}")
if(NOT soname STREQUAL "libkavrelcore.so.${major}")
  message(FATAL_ERROR "soname ${soname}")
endif()
foreach(link ${soname} libkavrelcore.so)
  file(READ_SYMLINK "${root}/${libdir}/${link}" target)
  get_filename_component(resolved "${root}/${libdir}/${link}" REALPATH)
  if(NOT resolved STREQUAL "${root}/${libdir}/libkavrelcore.so.${VERSION}" OR IS_ABSOLUTE "${target}")
    message(FATAL_ERROR "/${libdir}/${link} -> ${target}, not a relative link to libkavrelcore.so.${VERSION}")
  endif()
endforeach()

# The programs find the library relative to themselves.
set(programs kavrel)
if(SERVE)
  list(APPEND programs kavrel-serve)
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND readelf -d "${root}/usr/bin/${program}" OUTPUT_VARIABLE dynamic)
  if(NOT dynamic MATCHES "Library runpath: \\[\\$ORIGIN:\\$ORIGIN/\\.\\./lib/x86_64-linux-gnu\\]")
    message(FATAL_ERROR "/usr/bin/${program} has no RUNPATH to the library folder:\n${dynamic}")
  endif()
endforeach()
if(SERVE)
  # kavrel-serve links the library: it starts only where its RUNPATH leads.
  run("unpacked kavrel-serve --help" "${CMAKE_COMMAND}" -E env --unset=LD_LIBRARY_PATH "${root}/usr/bin/kavrel-serve" --help)
endif()

# The unpacked program answers, from another folder and without
# LD_LIBRARY_PATH: with its package named, and finding it alone.
file(MAKE_DIRECTORY "${WORK}/elsewhere")
foreach(arguments "/data;${root}/usr/share/kavrel/kavreldata.bin" "")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=LD_LIBRARY_PATH LC_ALL=C.UTF-8
                          "${root}/usr/bin/kavrel" /lat 35.681236 /lon 139.767125 ${arguments}
                  WORKING_DIRECTORY "${WORK}/elsewhere" OUTPUT_VARIABLE address ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT address STREQUAL "東京都千代田区丸の内一丁目")
    message(FATAL_ERROR "unpacked kavrel ${arguments}: status ${result}, \"${address}\" ${errors}")
  endif()
endforeach()
execute_process(COMMAND "${root}/usr/bin/kavrel" /package WORKING_DIRECTORY "${WORK}/elsewhere"
                OUTPUT_VARIABLE facts RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT facts MATCHES "${root}/usr/share/kavrel/kavreldata.bin")
  message(FATAL_ERROR "unpacked kavrel /package: status ${result}, ${facts}")
endif()

# The copyright file holds both licences.
file(READ "${root}/usr/share/doc/kavrel/copyright" copyright)
foreach(part "License: MIT" "License: CC-BY-4.0" "Permission is hereby granted" "Geolonia")
  string(FIND "${copyright}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the copyright file lacks \"${part}\"")
  endif()
endforeach()
message("${deb}: Depends: ${depends}")
file(REMOVE_RECURSE "${WORK}")
