# The 32-bit Windows programs, cross-built with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# 32-bit Windows gives threads and callbacks only 4-byte stack alignment, and
# GCC's SSE code assumes 16: every function realigns where it needs to.
# Doubles are computed in SSE registers, as the 64-bit build does: x87 code
# gives other results on the main thread (64-bit precision) than on workers.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
# 4 GB of address space on 64-bit Windows instead of 2.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
