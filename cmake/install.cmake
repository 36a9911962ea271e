# The install tree on Linux, laid out as GNUInstallDirs says, so that the
# same rules give `cmake --install --prefix DIR` and the Debian package
# (prefix /usr):
#   bin/                      kavrel, kavrel-pack, kavrel-serve (RUNPATH
#                             $ORIGIN/<the library folder from bin>)
#   <libdir>/                 libkavrelcore.so.<version>, its soname link and
#                             the unversioned link the console loads
#   <libdir>/pkgconfig/       kavrelcore.pc
#   <libdir>/cmake/kavrel/    kavrelConfig.cmake and its version file
#   include/                  the public headers
#   share/kavrel/             the default package and its attribution
#   share/man/man1/           the manual pages
#   share/doc/kavrel/         the copyright file (the code's and the data's
#                             licences)
install(TARGETS kavrel kavrel-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kavrelcore EXPORT kavrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES engine/include/kavrelcore.h engine/include/kavrel.h engine/include/kavrel_results.h ${KAVREL_BUILD_HEADER}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${KAVREL_NATIONAL_PACKAGE} ${KAVREL_PACKAGE_ATTRIBUTION} DESTINATION ${KAVREL_INSTALL_PACKAGE_DIR})

# pkg-config finds the prefix from the .pc file's own folder, so that a moved
# prefix still works.
file(RELATIVE_PATH KAVREL_PREFIX_FROM_PKGCONFIG ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KAVREL_PREFIX_FROM_PKGCONFIG "${KAVREL_PREFIX_FROM_PKGCONFIG}")
configure_file(engine/kavrelcore.pc.in ${CMAKE_BINARY_DIR}/kavrelcore.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kavrelcore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# find_package(kavrel 1.0 CONFIG) gives the imported target kavrel::kavrelcore.
include(CMakePackageConfigHelpers)
set(KAVREL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kavrel)
install(EXPORT kavrelTargets NAMESPACE kavrel:: DESTINATION ${KAVREL_CMAKE_PACKAGE_DIR})
configure_package_config_file(cmake/kavrelConfig.cmake.in ${CMAKE_BINARY_DIR}/kavrelConfig.cmake
  INSTALL_DESTINATION ${KAVREL_CMAKE_PACKAGE_DIR})
# A 1.x host builds against any 1.x library: the interface version stays 1.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kavrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kavrelConfig.cmake ${CMAKE_BINARY_DIR}/kavrelConfigVersion.cmake
  DESTINATION ${KAVREL_CMAKE_PACKAGE_DIR})

# The manual pages are written in roff in doc/; the build gives them its
# version and installs them from the build tree.
set(KAVREL_MANUAL_PAGES kavrel.1 kavrel-pack.1)
# kavrel-serve where cpp-httplib is there to build it.
if(KAVREL_SERVE_BUILT)
  install(TARGETS kavrel-serve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND KAVREL_MANUAL_PAGES kavrel-serve.1)
endif()
foreach(page IN LISTS KAVREL_MANUAL_PAGES)
  configure_file(doc/${page}.in ${CMAKE_BINARY_DIR}/doc/${page} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/doc/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The copyright file in Debian's machine-readable form: the code under MIT,
# the address data and every package built from it under CC BY 4.0.
file(READ LICENSE KAVREL_MIT_TEXT)
string(REGEX REPLACE "\n$" "" KAVREL_MIT_TEXT "${KAVREL_MIT_TEXT}")
string(REGEX REPLACE "\n\n" "\n.\n" KAVREL_MIT_TEXT "${KAVREL_MIT_TEXT}")
string(REGEX REPLACE "\n" "\n " KAVREL_MIT_TEXT "${KAVREL_MIT_TEXT}")
file(READ ${KAVREL_ATTRIBUTION_FILE} KAVREL_DATA_ATTRIBUTION)
string(REGEX REPLACE "\n$" "" KAVREL_DATA_ATTRIBUTION "${KAVREL_DATA_ATTRIBUTION}")
string(REGEX REPLACE "\n\n" "\n.\n" KAVREL_DATA_ATTRIBUTION "${KAVREL_DATA_ATTRIBUTION}")
string(REGEX REPLACE "\n" "\n " KAVREL_DATA_ATTRIBUTION "${KAVREL_DATA_ATTRIBUTION}")
configure_file(cmake/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Python package, where that prefix's Python finds it: Debian's
# dist-packages for the system prefix /usr, else a site-packages folder to
# put on PYTHONPATH.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(KAVREL_PYTHON_INSTALL_DEFAULT lib/python3/dist-packages)
else()
  set(KAVREL_PYTHON_INSTALL_DEFAULT lib/python3/site-packages)
endif()
set(KAVREL_PYTHON_INSTALL_DIR ${KAVREL_PYTHON_INSTALL_DEFAULT} CACHE STRING
    "Where the install puts the Python package kavrel, relative to the prefix")
install(FILES ${KAVREL_PYTHON_INSTALL_FILES} DESTINATION ${KAVREL_PYTHON_INSTALL_DIR}/kavrel)

# The Debian package: `cmake --build build --target package` in a tree
# configured with -DCMAKE_INSTALL_PREFIX=/usr gives kavrel_<version>_amd64.deb
# of the install above.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The kavrel authors <authors@kavrel.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "offline reverse geocoder for Japan")
# CPack puts the summary first and indents each line of the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Turns a latitude and longitude into a Japanese address (prefecture, city
and area) from a compressed data package, with no network. The package
holds the program kavrel (single lookups and whole files), kavrel-pack
(builds and verifies data packages), kavrel-serve (HTTP), the library
libkavrelcore with its C headers, pkg-config and CMake files, the Python
package kavrel, and the default data package of all Japan (CC BY 4.0).")
# What the programs and the library link: the C and C++ runtimes, zlib, and
# cpp-httplib for kavrel-serve.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, zlib1g")
if(KAVREL_SERVE_BUILT)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, libcpp-httplib0.11")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, python3-numpy")
# A shlibs file for packages built against the library, and the trigger that
# runs ldconfig when the package is installed.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
