# Windows version blocks, compiled with windres from cmake/version.rc.in and
# the project's one version number (project(VERSION)).
if(WIN32)
  enable_language(RC)
endif()

# Gives the Windows deliverable `target` its version block: `description`
# and `product` as named, internal and original file name the target's own.
# Nothing happens on other systems.
function(kavrel_version_resource target description product)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(KAVREL_RC_FILE_TYPE VFT_DLL)
    set(KAVREL_RC_FILE_NAME ${target}.dll)
  else()
    set(KAVREL_RC_FILE_TYPE VFT_APP)
    set(KAVREL_RC_FILE_NAME ${target}.exe)
  endif()
  set(KAVREL_RC_DESCRIPTION "${description}")
  set(KAVREL_RC_PRODUCT "${product}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
