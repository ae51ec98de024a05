# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds Tevra for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# The -posix compiler variant gives std::thread and std::mutex; the runtime is
# linked statically, so the .exe files run without any mingw DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TEVRA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TEVRA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEVRA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TEVRA_MINGW_TRIPLET}-windres)

# Libraries and packages come from the mingw tree only, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TEVRA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
