# Cross-compiles qbkit for 64-bit Windows with Debian's MinGW-w64 (posix-threads variant):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQBKIT_TESTS=OFF
# The top CMakeLists links the executable statically, so qbkit.exe needs no DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QBKIT_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${QBKIT_MINGW_PREFIX}-g++-posix ${QBKIT_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${QBKIT_MINGW_PREFIX}-gcc-posix ${QBKIT_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${QBKIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QBKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
