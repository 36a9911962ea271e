# The real-data checks on a package built from other town data than the
# shipped file, as a build with -DKAVREL_TOWNS_CSV= makes it: the counts come
# from the data in use, and the checks pass. Run as:
#   cmake -DPYTHON=<python3> -DMODIFY=<modify_towns.py> -DINPUT=<town data> -DPACK=<kavrel-pack>
#         -DWORK=<scratch folder> -DPACKAGE_TESTS=<national_package_tests>
#         -DENGINE_TESTS=<national_engine_tests> -P modified_data.cmake
file(MAKE_DIRECTORY ${WORK})
set(csv ${WORK}/towns-modified.csv)
set(package ${WORK}/towns-modified.bin)
execute_process(COMMAND ${PYTHON} ${MODIFY} ${INPUT} ${csv} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the modified town data could not be written")
endif()
execute_process(COMMAND ${PACK} build ${csv} -o ${package} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kavrel-pack could not build ${package}")
endif()
execute_process(COMMAND ${PACK} verify ${package} OUTPUT_VARIABLE verdict RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kavrel-pack verify: ${verdict}")
endif()
set(ENV{KAVREL_TEST_TOWNS_CSV} ${csv})
set(ENV{KAVREL_TEST_NATIONAL_PACKAGE} ${package})
foreach(run "${PACKAGE_TESTS}" "${ENGINE_TESTS};--gtest_filter=NationalPackage.*")
  execute_process(COMMAND ${run} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the real-data checks failed on the modified data:\n${output}")
  endif()
endforeach()
