# Cross-build for 64-bit Windows with Debian's mingw-w64 x86-64 compilers (the
# -posix flavour): qelpatch-build.exe, which must map packages of up to 4 GiB,
# and the windows64 stand-in for the 32-bit build's tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Its programs (the windows64 build's tests) run under Wine's 64-bit loader:
# Debian's `wine` starts the 32-bit one first, which a kernel without IA-32
# emulation refuses.
find_program(QELPATCH_WINE64 NAMES wine64 wine PATHS /usr/lib/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QELPATCH_WINE64})
