# What the packaging scripts share: running a step that must succeed, and
# checking that a tree holds files.

# Runs the command after `what`; stops the script with its output when it
# fails.
function(run what)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${output}")
  endif()
endfunction()

# Stops the script unless each of the paths after `root` is a file (not a
# link) below it.
function(expect_files root)
  foreach(file IN LISTS ARGN)
    if(NOT EXISTS "${root}/${file}" OR IS_SYMLINK "${root}/${file}" OR IS_DIRECTORY "${root}/${file}")
      message(FATAL_ERROR "${root} lacks the file ${file}")
    endif()
  endforeach()
endfunction()
