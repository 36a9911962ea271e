# Link options that depend on the system's object format. The engine and the
# console ask for what they need by function; a port adds its own branch here.

# The shared library `target` exports exactly the symbols that `map_file` (a
# version script) lists, links only when nothing is left undefined, and its
# calls to its own functions stay inside it, even where a host defines a
# function of the same name as an export (Initialize, Cleanup, ...).
function(kavrel_export_only target map_file)
  if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
    target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,-Bsymbolic-functions
      -Wl,--version-script=${map_file})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map_file})
  else()
    message(FATAL_ERROR "kavrel_export_only: no export list for ${CMAKE_EXECUTABLE_FORMAT} objects yet")
  endif()
endfunction()

# The program `target` finds the shared libraries it loads in its own folder
# (build tree) and in ../lib beside it (install tree), before the system's
# search; SharedLibrary::LoadForProgram looks in the same two places.
function(kavrel_find_libraries_beside_program target)
  if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
    # RUNPATH (not RPATH): LD_LIBRARY_PATH still comes first.
    # The same path in the build and the install tree, written at link time:
    # no padding for a later rewrite, whose empty entry would make the loader
    # search the current folder.
    set_target_properties(${target} PROPERTIES
      BUILD_WITH_INSTALL_RPATH ON
      INSTALL_RPATH "\$ORIGIN;\$ORIGIN/../lib")
    target_link_options(${target} PRIVATE -Wl,--enable-new-dtags)
  else()
    message(FATAL_ERROR
      "kavrel_find_libraries_beside_program: no library search path for ${CMAKE_EXECUTABLE_FORMAT} programs yet")
  endif()
endfunction()
