# What differs between the i686 and the x86_64 Windows builds, in one place.
#   VX_ARCH          i686 or x86_64
#   VX_TOOL_PREFIX   the MinGW-w64 tool prefix (i686-w64-mingw32-...)
#   VX_WINEARCH      win32 or win64: the kind of Wine prefix the tests run in
#   VX_WINE_LOADER   the Wine loader of that architecture, called directly (Debian's
#                    `wine` wrapper prefers the 32-bit loader whenever it is installed)
#   VX_LLVM_MACHINE  llvm-dlltool's -m for the Microsoft-format import library
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(VX_ARCH x86_64)
  set(VX_WINEARCH win64)
  set(VX_WINE_LOADER /usr/lib/wine/wine64)
  set(VX_LLVM_MACHINE i386:x86-64)
else()
  set(VX_ARCH i686)
  set(VX_WINEARCH win32)
  set(VX_WINE_LOADER /usr/lib/wine/wine)
  set(VX_LLVM_MACHINE i386)
endif()
set(VX_TOOL_PREFIX ${VX_ARCH}-w64-mingw32)

# The 69 exports as a list of "name;argbytes" pairs, read from the one list.
file(STRINGS ${VX_ROOT}/proto/qrl_exports.h _vx_export_lines REGEX "^QRL_EXPORT\\(")
set(VX_EXPORTS "")
foreach(line ${_vx_export_lines})
  string(REGEX REPLACE "^QRL_EXPORT\\(([A-Za-z0-9_]+), *([0-9]+)\\).*" "\\1@\\2" entry "${line}")
  list(APPEND VX_EXPORTS ${entry})
endforeach()

# vx_write_def(OUT LIBRARY NAMES...): a .def for this architecture. NAMES carry their
# stdcall decoration (CPlApplet@16); it stays on i686, where the module is linked with
# --kill-at and the import library made with dlltool -k, and goes on x86_64, which has
# one calling convention and no decoration.
function(vx_write_def out library)
  set(text "; Generated at configure time for ${VX_ARCH}; do not edit.\nLIBRARY ${library}\nEXPORTS\n")
  foreach(name ${ARGN})
    if(NOT VX_ARCH STREQUAL "i686")
      string(REGEX REPLACE "@[0-9]+$" "" name "${name}")
    endif()
    string(APPEND text "    ${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${out} CONTENT "${text}" @ONLY)
endfunction()

# vx_kill_at(TARGET): undecorated stdcall export names on i686 (nothing to do on x86_64).
function(vx_kill_at target)
  if(VX_ARCH STREQUAL "i686")
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
endfunction()
