# Builds the national package again, as the build does, and fails unless the
# result is byte for byte the package that the build made.
#   cmake -DPACK=<kavrel-pack> -DINPUT=<csv> -DATTRIBUTION=<file> -DPACKAGE=<built>
#         -DAGAIN=<scratch file> [-DEMULATOR=<wine>] -P national_package.cmake
file(REMOVE "${AGAIN}")
execute_process(
  COMMAND ${EMULATOR} "${PACK}" build "${INPUT}" --attribution-file "${ATTRIBUTION}" -o "${AGAIN}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "kavrel-pack build failed (${result})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${PACKAGE}" "${AGAIN}" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${AGAIN} differs from ${PACKAGE}: the same input built twice gave different bytes")
endif()
file(REMOVE "${AGAIN}")
