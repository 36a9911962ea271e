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
  elseif(WIN32)
    # The same names as a module-definition file, which also serves hosts
    # built with other compilers; the DLL is <target>.dll and its import
    # library <target>.lib, as those hosts expect.
    file(STRINGS ${map_file} lines)
    set(exports)
    set(in_global FALSE)
    foreach(line IN LISTS lines)
      string(STRIP "${line}" line)
      if(line STREQUAL "global:")
        set(in_global TRUE)
      elseif(line STREQUAL "local:")
        set(in_global FALSE)
      elseif(in_global AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*);$")
        string(APPEND exports "  ${CMAKE_MATCH_1}\n")
      endif()
    endforeach()
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(GENERATE OUTPUT ${def_file} CONTENT "LIBRARY ${target}.dll\nEXPORTS\n${exports}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${map_file})
    target_sources(${target} PRIVATE ${def_file})
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
  else()
    message(FATAL_ERROR "kavrel_export_only: no export list for ${CMAKE_EXECUTABLE_FORMAT} objects yet")
  endif()
endfunction()

# The program `target` finds the shared libraries it loads in its own folder
# (build tree) and in the install's library folder relative to it
# (KAVREL_LIBRARY_FOLDER_FROM_PROGRAM: ../lib, or ../lib/x86_64-linux-gnu for
# Debian's), before the system's search; SharedLibrary::LoadForProgram looks
# in the same two places.
function(kavrel_find_libraries_beside_program target)
  if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
    # RUNPATH (not RPATH): LD_LIBRARY_PATH still comes first.
    # The same path in the build and the install tree, written at link time:
    # no padding for a later rewrite, whose empty entry would make the loader
    # search the current folder.
    set_target_properties(${target} PROPERTIES
      BUILD_WITH_INSTALL_RPATH ON
      INSTALL_RPATH "\$ORIGIN;\$ORIGIN/${KAVREL_LIBRARY_FOLDER_FROM_PROGRAM}")
    target_link_options(${target} PRIVATE -Wl,--enable-new-dtags)
  elseif(WIN32)
    # Nothing to set: the system's search for a library loaded by bare name
    # starts in the program's own folder.
  else()
    message(FATAL_ERROR
      "kavrel_find_libraries_beside_program: no library search path for ${CMAKE_EXECUTABLE_FORMAT} programs yet")
  endif()
endfunction()
