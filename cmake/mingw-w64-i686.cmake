# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (the -posix
# compilers: std::thread and friends through winpthreads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_zu_triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${_zu_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zu_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_zu_triple}-windres)

# Headers and libraries come from the mingw-w64 sysroot and from the prefixes
# the build names (CMAKE_PREFIX_PATH / CMAKE_FIND_ROOT_PATH); programs run on
# the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${_zu_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run through Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(_zu_wine NAMES wine)
  if(_zu_wine)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${_zu_wine})
  endif()
endif()
