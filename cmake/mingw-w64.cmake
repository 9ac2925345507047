# mingw-w64.cmake - what the two MinGW-w64 toolchain files share: the
# compilers for QORB_MINGW_TRIPLE (their -posix variants, whose C++ library
# has std::thread and std::mutex, which GoogleTest needs), the target's own
# headers and libraries, and the Wine loader that runs the test programs
# (CMAKE_CROSSCOMPILING_EMULATOR) where one is installed.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QORB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QORB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QORB_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QORB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian keeps the loaders out of PATH (/usr/bin/wine is a wrapper that
# falls back to the 64-bit loader); ask for the one of this target's width.
find_program(QORB_WINE_LOADER NAMES ${QORB_WINE_NAME}
  PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /usr/lib/i386-linux-gnu/wine
  NO_DEFAULT_PATH)
if(QORB_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QORB_WINE_LOADER})
endif()
