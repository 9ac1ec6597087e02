# Windows deliverables with the MinGW-w64 compilers of VX_TOOLCHAIN_ARCH (i686 or
# x86_64), posix thread model; included by toolchain-<arch>-mingw.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VX_TOOLCHAIN_ARCH})
set(CMAKE_C_COMPILER ${VX_TOOLCHAIN_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_TOOLCHAIN_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${VX_TOOLCHAIN_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VX_TOOLCHAIN_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every module stands alone: only system DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
