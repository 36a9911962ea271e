# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# which std::thread needs), its zlib (libz-mingw-w64-dev), and wine to run the
# programs and tests:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVREL_MINGW_TRIPLET}-windres)

# Libraries and headers of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KAVREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static zlib: the deliverables need no DLL but the system's and kavrelcore.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# ctest and the build's custom commands run the Windows programs with wine.
find_program(KAVREL_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVREL_WINE})
