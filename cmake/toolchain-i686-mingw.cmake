# 32-bit Windows deliverables (i686), the primary ones.
set(VX_TOOLCHAIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
