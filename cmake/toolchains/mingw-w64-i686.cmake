# Cross build for 32-bit Windows with Debian's mingw-w64, tests run under
# 32-bit Wine (wine32:i386): the server for 32-bit clients (Visual Basic 6,
# 32-bit Office, the 32-bit script hosts).
#
#   cmake --preset windows32 && cmake --build --preset windows32 && ctest --preset windows32
#
# Doubles are computed with SSE2, as on x86-64: the x87 unit would keep
# intermediates in extended precision and round them differently, so the
# same call would give other bits than on every other build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NODREL_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
