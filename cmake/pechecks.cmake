# File checks of the Windows modules: what each deliverable must be, read from its
# file without running it, so that they hold on hosts that cannot execute this
# architecture (an i686 build where the kernel runs no 32-bit code). Label `static`:
# make test runs these for every architecture it builds, and the Wine suites only
# for the architectures the host executes.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(PECHECK ${Python3_EXECUTABLE} ${VX_ROOT}/tools/pecheck.py)
set(EXPORT_LIST ${VX_ROOT}/proto/qrl_exports.h)

function(vx_pe_check name target)
  add_test(NAME pe_${name} COMMAND ${PECHECK} $<TARGET_FILE:${target}> --machine ${VX_ARCH} ${ARGN})
  set_tests_properties(pe_${name} PROPERTIES LABELS static)
endfunction()

# The deliverables: the machine, system DLLs only, exports and version resources.
vx_pe_check(qrlink00 qrlink00 --system-imports-only --exports-list ${EXPORT_LIST}
            --file-version 6.5.1.0 --string "FileVersion=6, 5, 1, 0" "ProductVersion=6, 5, 1, 0")
vx_pe_check(vx710cfg vx710cfg --system-imports-only
            --file-version 6.3.0.1 --string "FileVersion=6, 3, 0, 1")
vx_pe_check(vx710cpl vx710cpl --system-imports-only --exports CPlApplet
            --file-version 1.0.0.1 --string "FileVersion=1, 0, 0, 1")
vx_pe_check(vx710sim vx710sim --system-imports-only)
vx_pe_check(qrlogdump qrlogdump --system-imports-only)
vx_pe_check(vx_demo vx_demo --system-imports-only --allow-dll qrlink00.dll)
foreach(ex ${VX_EXAMPLES})
  vx_pe_check(example_${ex} ${ex} --system-imports-only --allow-dll qrlink00.dll)
endforeach()

# The export list against its checked-in copy (names, ordinals, argument bytes): a
# change to one without the other fails.
set(EXPORT_ABI ${VX_ROOT}/proto/qrl_exports.abi)
add_test(NAME qrl_exports_abi COMMAND ${Python3_EXECUTABLE} ${VX_ROOT}/tools/exports_abi.py ${EXPORT_LIST} ${EXPORT_ABI})
set_tests_properties(qrl_exports_abi PROPERTIES LABELS static)

# An application built with the header and linked against the import library (the
# DLL tests take the address of every export): it imports exactly the undecorated
# names of the export list (the 69 board functions and the Qrl helpers). On i686 that
# link is itself the check of the stdcall argument sizes: a prototype whose arguments
# differ from the export list asks the import library for another decorated name and
# the link fails.
vx_pe_check(caller_imports qrlink00_tests --imports-from qrlink00.dll --imports-list ${EXPORT_LIST})

# The checker finds what it is for: a module of the other architecture, decorated
# stdcall names, a compiler runtime DLL, a wrong version.
if(VX_ARCH STREQUAL "i686")
  set(other x86_64)
else()
  set(other i686)
endif()
add_library(pecheck_decorated SHARED ${VX_ROOT}/tools/tests/pecheck_decorated.c)
set_target_properties(pecheck_decorated PROPERTIES PREFIX "")
# The thread runtime's import library, on purpose: the module then needs its DLL.
target_link_libraries(pecheck_decorated PRIVATE ${CMAKE_FIND_ROOT_PATH}/lib/libwinpthread.dll.a)
function(vx_pe_refuses name pattern)
  add_test(NAME pecheck_refuses_${name} COMMAND ${PECHECK} ${ARGN})
  set_tests_properties(pecheck_refuses_${name} PROPERTIES LABELS static PASS_REGULAR_EXPRESSION "${pattern}")
endfunction()
vx_pe_refuses(machine "machine 0x[0-9a-f]+, expected" $<TARGET_FILE:qrlink00> --machine ${other})
vx_pe_refuses(missing_export "exports differ: 74 exported, 1 expected"
              $<TARGET_FILE:qrlink00> --machine ${VX_ARCH} --exports InitDll)
vx_pe_refuses(version "FileVersion is '6, 5, 1, 0', expected '6, 5, 1, 1'"
              $<TARGET_FILE:qrlink00> --machine ${VX_ARCH} --string "FileVersion=6, 5, 1, 1")
vx_pe_refuses(no_version "no version resource"
              $<TARGET_FILE:pecheck_decorated> --machine ${VX_ARCH} --file-version 1.0.0.0)
vx_pe_refuses(runtime_dll "imports libwinpthread-1\\.dll, which is no system DLL"
              $<TARGET_FILE:pecheck_decorated> --machine ${VX_ARCH} --system-imports-only)
vx_pe_refuses(caller "imports from qrlink00.dll differ"
              $<TARGET_FILE:vx_demo> --machine ${VX_ARCH} --imports-from qrlink00.dll --imports-list ${EXPORT_LIST})
# An export list whose AxFeed and AxFeedOp have swapped ordinals: the DLL's export
# table disagrees with it, and so does the checked-in copy.
file(READ ${EXPORT_LIST} _vx_list)
string(REGEX REPLACE "QRL_EXPORT\\(AxFeed, 8, 8\\)" "QRL_EXPORT(AxFeed, 8, 9)" _vx_swapped "${_vx_list}")
string(REGEX REPLACE "QRL_EXPORT\\(AxFeedOp, 16, 9\\)" "QRL_EXPORT(AxFeedOp, 16, 8)" _vx_swapped "${_vx_swapped}")
file(WRITE ${CMAKE_BINARY_DIR}/qrl_exports_swapped.h "${_vx_swapped}")
vx_pe_refuses(ordinal "export ordinals differ: AxFeed is ordinal 8, expected 9; AxFeedOp is ordinal 9, expected 8"
              $<TARGET_FILE:qrlink00> --machine ${VX_ARCH} --exports-list ${CMAKE_BINARY_DIR}/qrl_exports_swapped.h)
add_test(NAME exports_abi_refuses_ordinal
         COMMAND ${Python3_EXECUTABLE} ${VX_ROOT}/tools/exports_abi.py ${CMAKE_BINARY_DIR}/qrl_exports_swapped.h ${EXPORT_ABI})
set_tests_properties(exports_abi_refuses_ordinal PROPERTIES LABELS static
                     PASS_REGULAR_EXPRESSION "AxFeed: ordinal 9, .* says 8")
string(REGEX REPLACE "QRL_EXPORT\\(AxFeed, 8, 8\\)" "QRL_EXPORT(AxFeed, 12, 8)" _vx_wider "${_vx_list}")
file(WRITE ${CMAKE_BINARY_DIR}/qrl_exports_wider.h "${_vx_wider}")
add_test(NAME exports_abi_refuses_argbytes
         COMMAND ${Python3_EXECUTABLE} ${VX_ROOT}/tools/exports_abi.py ${CMAKE_BINARY_DIR}/qrl_exports_wider.h ${EXPORT_ABI})
set_tests_properties(exports_abi_refuses_argbytes PROPERTIES LABELS static
                     PASS_REGULAR_EXPRESSION "AxFeed: 12 argument bytes, .* says 8")
if(VX_ARCH STREQUAL "i686")
  vx_pe_refuses(decorated "decorated export names \\['Probe@8'\\]"
                $<TARGET_FILE:pecheck_decorated> --machine i686 --exports Probe@8)
endif()
