# Cross toolchain: 64-bit Windows (the build the tests run under 64-bit Wine) with MinGW-w64, posix thread model for every part
# (the win32-model g++ has no <thread>/<mutex>, and mixing the two models crashes).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# LUMETRA_DEPS is the prefix that scripts/build-deps.sh filled.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LUMETRA_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
