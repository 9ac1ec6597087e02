#!/usr/bin/env bash
# The SDK used from the package alone, as a customer would: unpacks the zip that
# make package wrote into a scratch folder and, for each architecture's kit:
#  1. configures and builds two samples (open_identify, home_jog) from the kit's
#     examples/ folder with the MinGW-w64 cross compiler, finding the library through
#     the kit's CMake package, with both kits on CMAKE_PREFIX_PATH: the build must take
#     the kit of its own architecture (qrlink00ConfigVersion.cmake refuses the other);
#  2. builds a third sample (digital_io) with the compiler and the flags pkg-config
#     reads from the kit's qrlink00.pc;
#  3. builds open_identify for the Microsoft ABI (clang --target=<arch>-pc-windows-msvc,
#     which CMake takes for an MSVC-like compiler) with the kit's CMake package, which
#     must then hand over qrlink00.lib, the Microsoft-format import library, and links
#     it with lld-link. No Microsoft C runtime is available here, so the sample's only
#     C library function, printf, is imported from the system's msvcrt.dll and the
#     entry point is a three-line stand-in (sdk/tests/msvc/); kernel32.lib and
#     msvcrt.lib are import libraries made with llvm-dlltool from one-line .def files.
#     The link resolves the sample's calls as an MSVC-compiled caller names them
#     (plain on x64, _Name@N on x86) through qrlink00.lib alone;
#  4. checks every program's machine and that it imports the library's functions by
#     their undecorated names from qrlink00.dll, and no compiler runtime DLL;
#  5. for each architecture this host executes: runs the four programs under Wine
#     against the in-process virtual board (QRLINK00_DEVICE=sim), each output checked
#     against examples/<sample>.expected.
# Nothing of the source tree is used but the test's own stand-ins and the expected
# outputs; the compilers are the packaged ones.
#   sdk/tests/test_sdk.sh BUILD_ROOT "ARCHS_TO_RUN"
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: sdk/tests/test_sdk.sh BUILD_ROOT \"ARCHS_TO_RUN\"" >&2; exit 2; }
root=$(cd "$1" && pwd); run_archs=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
ver=6.5.1
zip=$root/package/vx7105-$ver.zip
work=$root/sdk-test
fail() { echo "test_sdk: $*" >&2; exit 1; }
[ -f "$zip" ] || fail "no $zip (make package first)"

dir_of()   { case $1 in i686) echo x86 ;; x86_64) echo x64 ;; esac; }
build_of() { case $1 in i686) echo "$root/win32" ;; x86_64) echo "$root/win64" ;; esac; }
coff_of()  { case $1 in i686) echo i386 ;; x86_64) echo x86_64 ;; esac; }
lld_of()   { case $1 in i686) echo x86 ;; x86_64) echo x64 ;; esac; }
tool_of()  { case $1 in i686) echo i386 ;; x86_64) echo i386:x86-64 ;; esac; }

rm -rf "$work"; mkdir -p "$work"
unzip -q "$zip" -d "$work/unpacked"
kits="$work/unpacked/x86/sdk;$work/unpacked/x64/sdk"

# The DLLs a program imports (lower case), one a line.
imports_of() { llvm-readobj --coff-imports "$1" | sed -n 's/^ *Name: //p' | tr 'A-Z' 'a-z' | sort -u; }
# The functions it imports from qrlink00.dll.
qrl_imports_of() {
  llvm-readobj --coff-imports "$1" |
    awk '/^ *Name: /{dll=tolower($2)} /^ *Symbol: /{if (dll=="qrlink00.dll") print $2}' | sort -u
}
check_program() { # arch exe what
  local a=$1 exe=$2 what=$3 arch dlls d fns
  [ -f "$exe" ] || fail "$a: $what: $exe was not built"
  arch=$(llvm-readobj --file-headers "$exe" | sed -n 's/^Arch: //p')
  [ "$arch" = "$(coff_of "$a")" ] || fail "$a: $what: $(basename "$exe") is of architecture '$arch'"
  dlls=$(imports_of "$exe")
  grep -qx qrlink00.dll <<<"$dlls" || fail "$a: $what: $(basename "$exe") does not import qrlink00.dll"
  for d in $dlls; do
    case $d in qrlink00.dll|kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll) ;;
      *) fail "$a: $what: $(basename "$exe") imports $d (a compiler runtime DLL or other non-system DLL)" ;;
    esac
  done
  fns=$(qrl_imports_of "$exe")
  grep -qx InitDll <<<"$fns" && grep -qx BdOpen <<<"$fns" ||
    fail "$a: $what: $(basename "$exe") imports from qrlink00.dll: $(echo $fns)"
  ! grep -q '@\|^_' <<<"$fns" ||
    fail "$a: $what: decorated import names from qrlink00.dll: $(echo $fns)"
  [ -f "$(dirname "$exe")/qrlink00.dll" ] || fail "$a: $what: no qrlink00.dll beside $(basename "$exe")"
}

build_arch() {
  local a=$1 kit b gcc flags m found
  kit=$work/unpacked/$(dir_of "$a")/sdk; b=$work/$(dir_of "$a"); gcc=$a-w64-mingw32-gcc
  [ -d "$kit" ] || fail "$a: the zip has no $(dir_of "$a")/sdk"

  # 1. CMake, the kit's package, both kits offered.
  cmake -S "$kit/examples" -B "$b/cmake" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$gcc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$kits" -DQRLINK00_SAMPLES="open_identify;home_jog" \
    >"$b.cmake.log" 2>&1 || { cat "$b.cmake.log" >&2; fail "$a: configuring the kit's samples failed"; }
  found=$(sed -n 's/^qrlink00_DIR:[A-Z]*=//p' "$b/cmake/CMakeCache.txt")
  [ "$found" = "$kit/lib/cmake/qrlink00" ] || fail "$a: find_package(qrlink00) took '$found', not $kit/lib/cmake/qrlink00"
  cmake --build "$b/cmake" >>"$b.cmake.log" 2>&1 || { cat "$b.cmake.log" >&2; fail "$a: building the kit's samples failed"; }
  check_program "$a" "$b/cmake/open_identify.exe" "CMake build"
  check_program "$a" "$b/cmake/home_jog.exe" "CMake build"

  # 2. pkg-config.
  mkdir -p "$b/pkgconfig"
  flags=$(PKG_CONFIG_LIBDIR="$kit/lib/pkgconfig" PKG_CONFIG_PATH='' pkg-config --cflags --libs qrlink00) ||
    fail "$a: pkg-config does not find qrlink00 in the kit"
  # shellcheck disable=SC2086
  "$gcc" -O2 "$kit/examples/digital_io.c" $flags -o "$b/pkgconfig/digital_io.exe" ||
    fail "$a: building digital_io with the pkg-config flags ($flags) failed"
  cp "$kit/bin/qrlink00.dll" "$b/pkgconfig/"
  check_program "$a" "$b/pkgconfig/digital_io.exe" "pkg-config build"

  # 3. The Microsoft ABI and import library, linked by lld-link, the kit found by CMake
  #    as for an MSVC build (the compiler simulates MSVC, so the package must hand over
  #    qrlink00.lib). The C runtime stand-ins go in through the linker flags, in place
  #    of the Windows libraries CMake would name by default.
  m=$b/msvc; mkdir -p "$m"
  case $a in i686) printf 'LIBRARY kernel32.dll\nEXPORTS\nExitProcess@4\n' ;;
             x86_64) printf 'LIBRARY kernel32.dll\nEXPORTS\nExitProcess\n' ;; esac > "$m/kernel32.def"
  printf 'LIBRARY msvcrt.dll\nEXPORTS\nprintf\n' > "$m/msvcrt.def"
  llvm-dlltool -m "$(tool_of "$a")" -d "$m/kernel32.def" -l "$m/kernel32.lib" -k
  llvm-dlltool -m "$(tool_of "$a")" -d "$m/msvcrt.def" -l "$m/msvcrt.lib"
  clang --target="$a-pc-windows-msvc" -ffreestanding -O1 -c "$src/sdk/tests/msvc/start.c" -o "$m/start.obj"
  cmake -S "$kit/examples" -B "$m" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=clang \
    -DCMAKE_C_COMPILER_TARGET="$a-pc-windows-msvc" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$kits" \
    -DQRLINK00_SAMPLES=open_identify -DCMAKE_C_FLAGS="-ffreestanding -isystem $src/sdk/tests/msvc" \
    -DCMAKE_C_STANDARD_LIBRARIES= -DCMAKE_EXE_LINKER_FLAGS="-fuse-ld=lld-link -nostdlib -Wl,/nodefaultlib \
-Wl,/entry:mainCRTStartup $m/start.obj $m/kernel32.lib $m/msvcrt.lib" >"$b.msvc.log" 2>&1 ||
    { cat "$b.msvc.log" >&2; fail "$a: configuring open_identify for the Microsoft ABI failed"; }
  found=$(sed -n 's/^qrlink00_DIR:[A-Z]*=//p' "$m/CMakeCache.txt")
  [ "$found" = "$kit/lib/cmake/qrlink00" ] || fail "$a: MSVC build: find_package(qrlink00) took '$found'"
  cmake --build "$m" -- VERBOSE=1 >>"$b.msvc.log" 2>&1 ||
    { cat "$b.msvc.log" >&2; fail "$a: lld-link could not link open_identify against the kit's qrlink00.lib"; }
  grep -q -- "-fuse-ld=lld-link" "$m/CMakeFiles/open_identify.dir/link.txt" &&
    grep -q "$kit/lib/qrlink00.lib" "$m/CMakeFiles/open_identify.dir/linkLibs.rsp" ||
    fail "$a: MSVC build: not linked by lld-link against $kit/lib/qrlink00.lib ($(cat "$m/CMakeFiles/open_identify.dir/linkLibs.rsp"))"
  check_program "$a" "$m/open_identify.exe" "MSVC-format link"
}

run_arch() {
  local a=$1 b emu; b=$work/$(dir_of "$a"); emu=$(build_of "$a")/wine-run.sh
  [ -x "$emu" ] || fail "$a: no $emu to run Windows programs with"
  . "$src/scripts/wine-arch.sh" "$a"
  export WINEPREFIX; WINEPREFIX=$(sed -n 's/^export WINEPREFIX="\${VX_WINEPREFIX:-\(.*\)}"$/\1/p' "$emu")
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  local exe sample
  for exe in cmake/open_identify.exe cmake/home_jog.exe pkgconfig/digital_io.exe msvc/open_identify.exe; do
    sample=$(basename "$exe" .exe)
    python3 "$src/examples/check_example.py" "$emu" "$b/$exe" "$src/examples/$sample.expected" \
      >"$b/$(dirname "$exe")-$sample.run.log" 2>&1 ||
      { cat "$b/$(dirname "$exe")-$sample.run.log" >&2; fail "$a: $exe from the kit failed against the virtual board"; }
  done
}

in_subshell() { set +e; (set -euo pipefail; "$@"); rc=$?; set -e; }
status=0
for a in i686 x86_64; do
  in_subshell build_arch "$a"
  if [ $rc -ne 0 ]; then echo "test_sdk: $a: FAILED: building from the unpacked kit"; status=1; continue; fi
  case " $run_archs " in
    *" $a "*)
      in_subshell run_arch "$a"
      if [ $rc -eq 0 ]; then
        echo "test_sdk: $a: 2 samples built with CMake, 1 with pkg-config, 1 for the MSVC ABI linked by lld-link against qrlink00.lib; all 4 ran under Wine"
      else
        echo "test_sdk: $a: FAILED: running the samples built from the kit"; status=1
      fi ;;
    *) echo "test_sdk: $a: 2 samples built with CMake, 1 with pkg-config, 1 for the MSVC ABI linked by lld-link against qrlink00.lib; not run (this host does not execute $a code)" ;;
  esac
done
exit $status
