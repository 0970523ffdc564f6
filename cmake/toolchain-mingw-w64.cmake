# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for
# std::thread): veltrixctl.exe, the core and its unit tests. Used by
# scripts/windows; the unit tests run under Wine through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELTRIX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTRIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRIX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Nothing to ship beside the programs: the C and C++ runtimes and the
# threads library are linked in. binmode.o makes every file the C library
# opens a binary one, also where a caller forgets to say so.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static /usr/${VELTRIX_MINGW_TRIPLET}/lib/binmode.o")

# Header-only libraries come from the build machine (cmake/cross/).
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross/nlohmann_json CACHE PATH "")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross/CLI11 CACHE PATH "")

# Wine runs the tests; Debian puts wine64 outside PATH on some installs.
find_program(VELTRIX_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VELTRIX_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTRIX_WINE64})
endif()
