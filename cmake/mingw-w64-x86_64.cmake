# Cross-builds the Windows programs with Debian's MinGW-w64 (the POSIX
# threads flavour, g++-mingw-w64-x86-64-posix). The tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, the C++ runtime and threads included: the .exe files
# need nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A release .exe without its symbol table: a third of the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# The 64-bit Wine loader: wine64 on PATH, else where Debian 12 keeps it.
find_program(WINE64_LOADER NAMES wine64 PATHS /usr/lib/wine)
if(WINE64_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64_LOADER})
endif()
