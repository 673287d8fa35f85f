# The cross build for Windows with Debian's mingw-w64, shared by the 64-bit
# and the 32-bit toolchain files: each sets CMAKE_SYSTEM_PROCESSOR and
# NODREL_MINGW_TRIPLET, then includes this file. Tests run under Wine.
#
# Thread model: the -posix compilers. GCC 12's win32 thread model has no
# std::mutex, std::thread or std::call_once; the posix model provides the whole
# of <mutex> and <thread> through winpthreads, which -static links into each
# binary, so nothing beyond the system's own DLLs is needed at run time (the
# COM server is loaded into processes we do not control and cannot count on a
# libstdc++ or libwinpthread DLL being around).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${NODREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NODREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NODREL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NODREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A DLL without __declspec(dllexport) exports every global symbol, those of the
# statically linked runtime included; a program that links such a DLL and the
# static runtime itself then sees _Unwind_Resume and friends twice.
# --exclude-libs keeps the runtime archives' symbols out of the export table
# (not ALL: CMake hands a DLL's own objects to the linker as an archive too).
set(NODREL_MINGW_RUNTIME_ARCHIVES libgcc.a:libgcc_eh.a:libstdc++.a:libsupc++.a:libwinpthread.a)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT
  "-static -static-libgcc -static-libstdc++ -Wl,--exclude-libs,${NODREL_MINGW_RUNTIME_ARCHIVES}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT}")

# Programs of the build run under Wine, in a prefix of the build's own so that
# no test depends on (or changes) the user's ~/.wine. wine-run.sh creates the
# prefix on first use and keeps one wineserver alive across a test suite.
# The loader matches the build's bitness: Debian's wine64 lives in
# /usr/lib/wine; `wine` starts 32-bit programs in 32-bit Wine.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(NODREL_WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine)
else()
  find_program(NODREL_WINE_LOADER NAMES wine)
endif()
if(NODREL_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${NODREL_WINE_LOADER}
    ${CMAKE_BINARY_DIR}/wineprefix ${CMAKE_BINARY_DIR})
endif()
