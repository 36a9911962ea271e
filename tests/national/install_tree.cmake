# Installs the build into a scratch prefix and runs the installed kavrel from
# another folder: it must find its library in LIBDIR and the package in
# share/kavrel of its prefix, with the package's attribution file next to
# the package.
#   cmake -DBUILD=<build folder> -DPREFIX=<scratch folder> -DATTRIBUTION=<attribution source>
#         -DVERSION=<project version> -DLIBDIR=<library folder in the prefix> [-DSERVE=ON]
#         -P install_tree.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result})")
endif()
set(pages kavrel.1 kavrel-pack.1)
if(SERVE)
  list(APPEND pages kavrel-serve.1)
endif()
set(files bin/kavrel bin/kavrel-pack share/kavrel/kavreldata.bin share/kavrel/kavreldata-attribution.txt
    ${LIBDIR}/libkavrelcore.so)
if(SERVE)
  list(APPEND files bin/kavrel-serve)
endif()
foreach(page IN LISTS pages)
  list(APPEND files share/man/man1/${page})
endforeach()
foreach(file IN LISTS files)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The installed manual pages render without a warning and carry the build's
# version.
find_program(MAN man)
if(NOT MAN)
  message(FATAL_ERROR "man is needed to check the manual pages (apt-get install man-db groff-base)")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
                          "${MAN}" --warnings -l "${PREFIX}/share/man/man1/${page}"
                  OUTPUT_VARIABLE rendered ERROR_VARIABLE warnings RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "" OR NOT rendered MATCHES "SYNOPSIS")
    message(FATAL_ERROR "man -l ${page}: status ${result}, warnings: ${warnings}")
  endif()
  string(FIND "${rendered}" "kavrel ${VERSION}" versionAt)
  if(versionAt EQUAL -1)
    message(FATAL_ERROR "man -l ${page} does not show the version ${VERSION}")
  endif()
endforeach()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${ATTRIBUTION}" "${PREFIX}/share/kavrel/kavreldata-attribution.txt"
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "the installed attribution differs from ${ATTRIBUTION}")
endif()

# The program, built or installed, searches for libraries beside itself and
# in the install's library folder, never in the folder it is run from: a damaged C++ runtime there
# must not be loaded.
file(MAKE_DIRECTORY "${PREFIX}/untrusted")
file(WRITE "${PREFIX}/untrusted/libstdc++.so.6" "not a library")
foreach(program "${BUILD}/bin/kavrel" "${PREFIX}/bin/kavrel")
  execute_process(COMMAND "${program}" /lat 35.681236 /lon 139.767125
                  WORKING_DIRECTORY "${PREFIX}/untrusted" OUTPUT_VARIABLE address ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT address MATCHES "^東京都千代田区")
    message(FATAL_ERROR "${program} run from a folder with a damaged libstdc++: status ${result}, \"${address}\" ${errors}")
  endif()
endforeach()

# Tokyo Station, and a point near Nerima station that only the national
# package answers right.
foreach(lookup "35.681236;139.767125;^東京都千代田区丸の内一丁目$" "35.7376;139.6542;^東京都練馬区")
  list(GET lookup 0 latitude)
  list(GET lookup 1 longitude)
  list(GET lookup 2 expected)
  execute_process(COMMAND "${PREFIX}/bin/kavrel" /lat ${latitude} /lon ${longitude}
                  WORKING_DIRECTORY "${PREFIX}" OUTPUT_VARIABLE address ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT address MATCHES "${expected}")
    message(FATAL_ERROR "installed kavrel at ${latitude},${longitude}: status ${result}, \"${address}\" ${errors}")
  endif()
  message("${latitude},${longitude}: ${address}")
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
