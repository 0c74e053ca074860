# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64-posix),
# linking everything statically so the programs need no DLL beyond Windows' own:
#   cmake --preset windows && cmake --build --preset windows
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUENLOR_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix-threads variant: its libstdc++ has std::thread and friends in full.
find_program(CMAKE_CXX_COMPILER NAMES ${QUENLOR_MINGW_TRIPLET}-g++-posix ${QUENLOR_MINGW_TRIPLET}-g++
             REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${QUENLOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# libstdc++, libgcc and winpthread linked in, so no MinGW DLL has to travel with the programs;
# symbols stripped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")
