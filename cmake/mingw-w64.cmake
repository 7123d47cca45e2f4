# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The posix thread model: GCC 12's win32 model has no std::thread, std::mutex or std::jthread.
# Linked statically, so that nothing but the .exe files needs copying. ctest runs the tests
# through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZUKA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZUKA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUKA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZUKA_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZUKA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Optimised as the Linux build is (-O2), without debug information: the statically linked test
# executables link much faster without it, and nobody steps through them under wine here.
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO_INIT "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELWITHDEBINFO_INIT "-O2 -DNDEBUG")
