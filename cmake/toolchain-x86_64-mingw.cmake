# 64-bit Windows deliverables (x86_64), for 64-bit applications.
set(VX_TOOLCHAIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
