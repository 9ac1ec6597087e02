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

# The exports of the list as .def entries "name@argbytes @ordinal", read from the one list. A
# line of another shape stops the configuration rather than drop an export.
file(STRINGS ${VX_ROOT}/proto/qrl_exports.h _vx_export_lines REGEX "^QRL_EXPORT\\(")
set_property(DIRECTORY ${VX_ROOT} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VX_ROOT}/proto/qrl_exports.h)
set(VX_EXPORTS "")
foreach(line ${_vx_export_lines})
  if(NOT line MATCHES "^QRL_EXPORT\\(([A-Za-z0-9_]+), *([0-9]+), *([1-9][0-9]*)\\)$")
    message(FATAL_ERROR "proto/qrl_exports.h: not QRL_EXPORT(name, argbytes, ordinal): ${line}")
  endif()
  list(APPEND VX_EXPORTS "${CMAKE_MATCH_1}@${CMAKE_MATCH_2} @${CMAKE_MATCH_3}")
endforeach()

# vx_write_def(OUT LIBRARY ENTRIES...): a .def for this architecture. Each entry is a
# name with its stdcall decoration (CPlApplet@16), optionally followed by its ordinal
# (" @41"). The decoration stays on i686, where the module is linked with --kill-at
# and the import library made with dlltool -k, and goes on x86_64, which has one
# calling convention and no decoration; the ordinal stays on both.
function(vx_write_def out library)
  set(text "; Generated at configure time for ${VX_ARCH}; do not edit.\nLIBRARY ${library}\nEXPORTS\n")
  foreach(name ${ARGN})
    if(NOT VX_ARCH STREQUAL "i686")
      string(REGEX REPLACE "^([A-Za-z0-9_]+)@[0-9]+" "\\1" name "${name}")
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

# vx_copy_beside(TARGET PARTS...): the files of PARTS (a DLL, the stand-in) next to
# TARGET's own, where a test finds them by its own path. A target of its own that
# runs at every build, so a rebuilt part never leaves a stale copy behind.
function(vx_copy_beside target)
  set(commands "")
  foreach(part ${ARGN})
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${part}> $<TARGET_FILE_DIR:${target}>)
  endforeach()
  add_custom_target(${target}_beside ALL ${commands} VERBATIM)
  add_dependencies(${target}_beside ${target} ${ARGN})
endfunction()
