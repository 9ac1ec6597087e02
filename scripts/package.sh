#!/usr/bin/env bash
# make package: stages the deliverables and the SDK of both architectures, builds an
# NSIS installer for each (x86 and amd64) and one zip of both trees, then checks them:
#  - every staged module, import library and .def is of its tree's architecture;
#  - each tree's kit is complete and its help file maps every topic number of the
#    utility to a page (sdk/tests/test_sdk.sh then builds and runs samples from the zip);
#  - the zip holds exactly the two staged trees;
#  - each installer's own file list (read with 7z, without running it) is exactly its
#    staged tree plus the uninstaller, file by file the same bytes, and the installer
#    is of its architecture;
#  - for each architecture this host runs: a silent install in a fresh Wine prefix of
#    that architecture puts exactly the staged files in the system directory and the
#    64-bit (amd64) or only (x86) Program Files and registers only its own uninstall
#    entry, the installed sample runs against the in-process virtual board, and a
#    silent uninstall leaves the files and HKLM\Software as they were.
#   scripts/package.sh BUILD_ROOT "ARCHS_TO_RUN"
# BUILD_ROOT holds win32/, win64/ and docs/html (make docs); ARCHS_TO_RUN lists the
# architectures whose programs this host executes (scripts/host-archs.sh prints them):
# "x86_64" or "i686 x86_64". Prints one line per architecture; exits non-zero on any failure.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: scripts/package.sh BUILD_ROOT \"ARCHS_TO_RUN\"" >&2; exit 2; }
root=$(cd "$1" && pwd); run_archs=$2
src=$(cd "$(dirname "$0")/.." && pwd)
ver=6.5.1
out=$root/package; stage=$out/stage
for a in $run_archs; do
  case $a in i686|x86_64) ;; *) echo "package: unknown architecture '$a' in ARCHS_TO_RUN" >&2; exit 2 ;; esac
done

# Per architecture: build folder, NSIS target, folder in the zip, COFF architecture
# as llvm-readobj names it, Wine prefix kind.
build_of()  { case $1 in i686) echo "$root/win32" ;; x86_64) echo "$root/win64" ;; esac; }
nsis_of()   { case $1 in i686) echo x86 ;; x86_64) echo amd64 ;; esac; }
dir_of()    { case $1 in i686) echo x86 ;; x86_64) echo x64 ;; esac; }
coff_of()   { case $1 in i686) echo i386 ;; x86_64) echo x86_64 ;; esac; }
wine_of()   { case $1 in i686) echo "wine (32-bit)" ;; x86_64) echo wine64 ;; esac; }
uninst_of() { case $1 in i686) echo VX7105HostSoftware ;; x86_64) echo VX7105HostSoftware64 ;; esac; }
installer_of() { echo "$out/vx7105-setup-$ver-$(dir_of "$1").exe"; }
fail() { echo "package: $*" >&2; exit 1; }

if ! command -v 7z >/dev/null; then bash "$src/scripts/deps.sh"; fi
command -v 7z >/dev/null || fail "7z (p7zip-full) is needed to read the installers' file lists"

rm -rf "$out"; mkdir -p "$stage"

# ---- Staging: x86/ and x64/ are each the tree that architecture's installer installs
# (system32/ stands for the system directory, the rest for the installation folder).
# sdk/ is the customer's kit: header, both import libraries and the .def, a CMake
# package and a pkg-config file for its architecture, the samples with a CMakeLists
# that builds them against the kit (not this tree's targets), the HTML reference, the
# customer README, LICENSE.txt and THIRD-PARTY-NOTICES.txt. The kit's templates
# (sdk/ in the sources) get the architecture's names filled in.
docs=$root/docs/html
[ -f "$docs/index.html" ] || fail "no HTML reference in $docs (make docs BUILD=$root)"
samples="open_identify home_jog digital_io interpolation call_log vx_demo"
python3 "$src/sdk/make_notices.py" "$out/THIRD-PARTY-NOTICES.txt" "$ver" || fail "cannot write the third-party notices"
fill() { # template output arch
  local bits ptr name gcc vs other
  case $3 in
    i686)   bits=32 ptr=4 name=x86 gcc=i686-w64-mingw32-gcc vs=Win32 other=64 ;;
    x86_64) bits=64 ptr=8 name=x64 gcc=x86_64-w64-mingw32-gcc vs=x64 other=32 ;;
  esac
  mkdir -p "$(dirname "$2")"
  sed -e "s/@VERSION@/$ver/g" -e "s/@BITS@/$bits/g" -e "s/@PTR_SIZE@/$ptr/g" -e "s/@ARCH_NAME@/$name/g" \
      -e "s/@GCC@/$gcc/g" -e "s/@VS_PLATFORM@/$vs/g" -e "s/@OTHER_BITS@/$other/g" "$1" > "$2"
  ! grep -n '@[A-Z_]*@' "$2" >&2 || fail "$3: ${2#"$stage/"} keeps a placeholder"
}
stage_arch() {
  local win t s; win=$(build_of "$1"); t=$stage/$(dir_of "$1")
  mkdir -p "$t"/{system32,qrlink00/Release,tools,sdk/{include,lib/cmake/qrlink00,lib/pkgconfig,examples,bin,docs}}
  cp "$win/cfgtool/vx710cfg.exe" "$win/cfgtool/help/vx710cfg.chm" "$win/cplapplet/vx710cpl.cpl" "$t/system32/"
  cp "$win/boardlib/qrlink00.dll" "$t/qrlink00/Release/"
  cp "$win/tools/qrlogdump.exe" "$win/vboard/vx710sim.exe" "$t/tools/"
  cp "$src/boardlib/include/qrlink00.h" "$t/sdk/include/"
  # MinGW and Microsoft import libraries and the .def, all made by the build of this
  # architecture from its own .def.
  cp "$win/sdk/lib/libqrlink00.a" "$win/sdk/lib/qrlink00.lib" "$win/sdk/lib/qrlink00.def" "$t/sdk/lib/"
  fill "$src/sdk/cmake/qrlink00Config.cmake.in" "$t/sdk/lib/cmake/qrlink00/qrlink00Config.cmake" "$1"
  fill "$src/sdk/cmake/qrlink00ConfigVersion.cmake.in" "$t/sdk/lib/cmake/qrlink00/qrlink00ConfigVersion.cmake" "$1"
  fill "$src/sdk/pkgconfig/qrlink00.pc.in" "$t/sdk/lib/pkgconfig/qrlink00.pc" "$1"
  for s in $samples; do cp "$src/examples/$s.c" "$t/sdk/examples/"; done
  cp "$src/sdk/examples/CMakeLists.txt" "$t/sdk/examples/"
  cp "$win/examples/vx_demo.exe" "$win/boardlib/qrlink00.dll" "$t/sdk/bin/"
  cp -r "$docs" "$t/sdk/docs/html"
  fill "$src/sdk/README.md" "$t/sdk/README.md" "$1"
  fill "$src/sdk/LICENSE.txt" "$t/sdk/LICENSE.txt" "$1"
  cp "$out/THIRD-PARTY-NOTICES.txt" "$t/sdk/"
  cp "$src/vboard/README.md" "$t/sdk/README-vboard.md"
  cp "$src/tools/README-calllog.md" "$t/sdk/"
  return 0
}

# Every module and library of a staged tree must be of that tree's architecture: all
# COFF objects llvm-readobj finds in it (an import library's short import members
# carry no architecture of their own, its other members do).
check_stage_arch() {
  local a=$1 t f archs want; t=$stage/$(dir_of "$1"); want=$(coff_of "$a")
  while IFS= read -r f; do
    archs=$(llvm-readobj --file-headers "$f" 2>/dev/null | sed -n 's/^Arch: //p' | sort -u)
    [ "$archs" = "$want" ] || fail "$a: ${f#"$stage/"} is of architecture '${archs//$'\n'/ }', not $want"
  done < <(find "$t" -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.cpl' -o -name '*.a' -o -name '*.lib' \))
  # i686 exports keep their stdcall decoration in the .def (the module is linked with
  # --kill-at); x86_64 has none.
  local def=$t/sdk/lib/qrlink00.def n dec
  n=$(exports_of "$def" | wc -l)
  dec=$(exports_of "$def" | grep -c '@[0-9][0-9]*$' || true)
  [ "$n" -gt 0 ] || fail "$a: no exports in ${def#"$stage/"}"
  case $a in
    i686)   [ "$dec" -eq "$n" ] || fail "$a: $((n - dec)) of $n exports in the .def lack their @N decoration" ;;
    x86_64) [ "$dec" -eq 0 ] || fail "$a: $dec of $n exports in the .def carry an i686 @N decoration" ;;
  esac
}
# The exported names of a .def (the first word of each line after EXPORTS; the ordinal
# that follows, " @41", is not part of the name).
exports_of() { sed -n '/^EXPORTS/,$p' "$1" | tail -n +2 | awk 'NF && $1 !~ /^;/ {print $1}'; }

# The customer's kit is complete, and the help file answers every topic number of the
# utility (cfgtool/help/check_chm.py, as its own test does on the build's file).
check_stage_kit() {
  local a=$1 t f; t=$stage/$(dir_of "$1")
  for f in system32/vx710cfg.chm sdk/README.md sdk/LICENSE.txt sdk/THIRD-PARTY-NOTICES.txt sdk/include/qrlink00.h \
           sdk/lib/libqrlink00.a sdk/lib/qrlink00.lib sdk/lib/qrlink00.def sdk/lib/cmake/qrlink00/qrlink00Config.cmake \
           sdk/lib/cmake/qrlink00/qrlink00ConfigVersion.cmake sdk/lib/pkgconfig/qrlink00.pc sdk/bin/qrlink00.dll \
           sdk/examples/CMakeLists.txt sdk/docs/html/index.html; do
    [ -s "$t/$f" ] || fail "$a: the staged tree lacks $f"
  done
  for f in $samples; do [ -s "$t/sdk/examples/$f.c" ] || fail "$a: the staged kit lacks the sample $f.c"; done
  grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$t/sdk/THIRD-PARTY-NOTICES.txt" &&
    grep -q 'GNU GENERAL PUBLIC LICENSE' "$t/sdk/THIRD-PARTY-NOTICES.txt" &&
    grep -q 'winpthreads' "$t/sdk/THIRD-PARTY-NOTICES.txt" || fail "$a: the third-party notices lack a licence"
  python3 "$src/cfgtool/help/check_chm.py" "$t/system32/vx710cfg.chm" "$src/cfgtool/help.h" "$src/cfgtool" \
    "$src/cplapplet" >"$out/check_chm-$(dir_of "$a").log" 2>&1 ||
    { cat "$out/check_chm-$(dir_of "$a").log" >&2; fail "$a: the staged help file fails its check"; }
}
for a in i686 x86_64; do stage_arch "$a"; check_stage_arch "$a"; check_stage_kit "$a"; done
# Both SDKs export the same functions, whatever their decoration.
diff <(exports_of "$stage/x86/sdk/lib/qrlink00.def" | sed 's/@[0-9]*$//' | sort) \
     <(exports_of "$stage/x64/sdk/lib/qrlink00.def" | sort) >&2 ||
  fail "the x86 and x64 .def files export different functions (< x86, > x64)"

for a in i686 x86_64; do
  makensis -V2 -DARCH="$(nsis_of "$a")" -DSTAGE="$stage/$(dir_of "$a")" -DOUTFILE="$(installer_of "$a")" \
    "$src/installer/vx7105.nsi"
done
zip_file=$out/vx7105-$ver.zip
(cd "$stage" && zip -qr "$zip_file" x86 x64)
for a in i686 x86_64; do
  echo "package: $(installer_of "$a") ($(stat -c %s "$(installer_of "$a")") bytes)"
done
echo "package: $zip_file ($(stat -c %s "$zip_file") bytes): x86/ and x64/"

# The zip holds the two staged trees and nothing else.
diff -u <(cd "$stage" && find x86 x64 -type f | sort) <(unzip -Z1 "$zip_file" | grep -v '/$' | sort) >&2 ||
  fail "the zip's files differ from the staged trees"

# ---- An installer's contents read without running it: 7z lists an NSIS installer's
# files with $SYSDIR/ before what goes to the system directory and the rest relative
# to the installation folder; the uninstaller it writes appears as uninstall.exe.
check_installer_files() {
  local a=$1 t inst x; t=$stage/$(dir_of "$1"); inst=$(installer_of "$1"); x=$out/extract-$(dir_of "$1")
  local info; info=$(7z l -slt "$inst") || fail "$a: 7z cannot read $inst"
  local sub; sub=$(sed -n 's/^SubType = //p' <<<"$info")
  case $a in
    i686)   [ "$sub" = "NSIS-3 Unicode" ] || fail "$a: the installer is '$sub', not a 32-bit Unicode NSIS installer" ;;
    x86_64) [ "$sub" = "NSIS-3 Unicode 64-bit" ] || fail "$a: the installer is '$sub', not a 64-bit Unicode NSIS installer" ;;
  esac
  # Name and size of every file the installer holds, against the staged tree.
  awk '/^----------$/{body=1; next} body && /^Path = /{p=substr($0,8)} body && /^Size = /{print p "\t" substr($0,8)}' \
    <<<"$info" | sort > "$x.list"
  { (cd "$t/system32" && find . -type f -printf '$SYSDIR/%P\t%s\n')
    (cd "$t" && find . -path ./system32 -prune -o -type f -printf '%P\t%s\n')
    printf 'uninstall.exe\t\n'; } | sort > "$x.expected"
  diff -u "$x.expected" "$x.list" >&2 || fail "$a: the installer's file list differs from the staged tree (- staged, + installer)"
  # And the same bytes.
  7z x -y -bd -o"$x" "$inst" -x'!uninstall.exe' >/dev/null || fail "$a: 7z cannot unpack $inst"
  diff -r "$t/system32" "$x/\$SYSDIR" >&2 || fail "$a: the installer's system directory files differ from the staged ones"
  for d in qrlink00 sdk tools; do diff -r "$t/$d" "$x/$d" >&2 || fail "$a: the installer's $d/ differs from the staged one"; done
  rm -rf "$x"
}

# Sections of a regedit export (UTF-8) compared: prints "+[key]" for keys added,
# "-[key]" removed, "~[key]" changed, then the added keys' values.
regdiff() {
  python3 - "$1" "$2" <<'PY'
import sys
def load(path):
    keys, cur = {}, None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\r\n")
        if line.startswith("[") and line.endswith("]"):
            cur = line[1:-1]; keys[cur] = []
        elif cur is not None and line:
            keys[cur].append(line)
    return keys
a, b = load(sys.argv[1]), load(sys.argv[2])
for k in sorted(set(b) - set(a)):
    print("+[%s]" % k)
    for v in sorted(b[k]): print("  " + v)
for k in sorted(set(a) - set(b)): print("-[%s]" % k)
for k in sorted(set(a) & set(b)):
    if a[k] != b[k]: print("~[%s]" % k)
PY
}

# ---- Install, run and uninstall in a fresh prefix of the installer's architecture.
# Runs in a subshell of its own (Wine's environment, its wineserver).
run_installer() {
  local a=$1 inst key; inst=$(installer_of "$1"); key=$(uninst_of "$1")
  . "$src/scripts/wine-arch.sh" "$a"
  export WINEPREFIX=$out/prefix-$WINEARCH
  if ! bash "$src/scripts/wineprefix.sh" "$a" "$WINEPREFIX"; then
    case " $(bash "$src/scripts/host-archs.sh") " in
      *" $a "*) ;;
      *) echo "package: $a: this host cannot execute $a code (scripts/host-archs.sh: $(bash "$src/scripts/host-archs.sh"))" >&2 ;;
    esac
    fail "$a: no Wine prefix to install into"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  local w=$out/$WINEARCH c=$WINEPREFIX/drive_c
  snapshot() {
    (cd "$c" && find . -path ./users -prune -o -path ./windows/temp -prune -o -print | sort) > "$1.files"
    rm -f "$1.reg"
    wine reg export 'HKLM\Software' "$(winepath -w "$1.reg" 2>/dev/null)" /y >/dev/null 2>&1 </dev/null || true
    [ -s "$1.reg" ] || fail "$a: reg export of HKLM\\Software wrote nothing"
    iconv -f utf-16 -t utf-8 "$1.reg" | grep -v '^"InstallDate' > "$1.regtxt"
    grep -q '^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\]' "$1.regtxt" ||
      fail "$a: the export of HKLM\\Software is incomplete"
  }
  snapshot "$w-before"

  wine "$inst" /S </dev/null || fail "$a: the silent install exited with $?"
  snapshot "$w-installed"
  # In a prefix of the installer's own architecture the system directory is
  # windows/system32 and the program files folder "Program Files" (for amd64 neither
  # syswow64 nor "Program Files (x86)"): exactly the staged files arrive there, with
  # the uninstaller and the folders that hold them, and nothing else anywhere.
  local pf="./Program Files/zrn/vx7105" t=$stage/$(dir_of "$a")
  { (cd "$t/system32" && find . -type f -printf './windows/system32/%P\n')
    echo "./Program Files/zrn"; echo "$pf"; echo "$pf/uninstall.exe"
    (cd "$t" && find . -mindepth 1 -path ./system32 -prune -o -printf "$pf/%P\n"); } | sort > "$w-expected.files"
  comm -13 "$w-before.files" "$w-installed.files" > "$w-added.files"
  comm -23 "$w-before.files" "$w-installed.files" > "$w-removed.files"
  diff -u "$w-expected.files" "$w-added.files" >&2 || fail "$a: the install added other paths than expected (- expected, + added)"
  [ ! -s "$w-removed.files" ] || { cat "$w-removed.files" >&2; fail "$a: the install removed paths"; }
  for f in vx710cfg.exe vx710cfg.chm vx710cpl.cpl; do
    cmp -s "$t/system32/$f" "$c/windows/system32/$f" || fail "$a: the system directory's $f is not the staged one"
  done
  for d in qrlink00 sdk tools; do diff -r "$t/$d" "$c/Program Files/zrn/vx7105/$d" >&2 || fail "$a: installed $d/ differs from the staged one"; done
  # The registry: exactly one new key, the uninstall entry of this architecture, in
  # the view of the installer's own bitness (not under Wow6432Node), pointing at the
  # installation folder; nothing else added, changed or removed.
  regdiff "$w-before.regtxt" "$w-installed.regtxt" > "$w-installed.regdiff"
  local ukey='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\'$key
  { echo "+[$ukey]"
    printf '%s\n' \
      '  "DisplayName"="'"$( [ "$a" = x86_64 ] && echo 'VX-7105 host software (x64)' || echo 'VX-7105 host software')"'"' \
      '  "DisplayVersion"="6.5.1.0"' \
      '  "UninstallString"="\"C:\\Program Files\\zrn\\vx7105\\uninstall.exe\""' \
      '  "InstallLocation"="C:\\Program Files\\zrn\\vx7105"' \
      '  "NoModify"=dword:00000001' '  "NoRepair"=dword:00000001' | LC_ALL=C sort; } > "$w-expected.regdiff"
  diff -u "$w-expected.regdiff" "$w-installed.regdiff" >&2 ||
    fail "$a: the install's registry changes are not just its own uninstall entry (- expected, + seen)"

  local pfu=$c/Program\ Files/zrn/vx7105
  QRLINK00_DEVICE=sim wine "$pfu/sdk/bin/vx_demo.exe" open </dev/null > "$w-installed-demo.txt" 2>&1 || true
  grep -q 'BdClose(0).* 0  success' "$w-installed-demo.txt" || { cat "$w-installed-demo.txt" >&2; fail "$a: the installed sample failed"; }

  # The uninstaller runs from a copy in the temporary folder so that it can remove
  # itself and its folder; wait for that copy to finish.
  wine "$pfu/uninstall.exe" /S </dev/null || fail "$a: the silent uninstall exited with $?"
  local i
  for i in $(seq 120); do
    [ -e "$pfu" ] || [ -e "$c/windows/system32/vx710cfg.exe" ] || [ -e "$c/Program Files/zrn" ] || break
    sleep 0.5
  done
  sleep 1
  snapshot "$w-after"
  if ! diff -u "$w-before.files" "$w-after.files" >&2; then fail "$a: the uninstaller left files behind"; fi
  regdiff "$w-before.regtxt" "$w-after.regtxt" > "$w-after.regdiff"
  [ ! -s "$w-after.regdiff" ] || { cat "$w-after.regdiff" >&2; fail "$a: the uninstaller left registry changes behind"; }
}

# Each check in a subshell of its own with errexit in force, so that one
# architecture's failure is reported and the other is still checked.
in_subshell() { set +e; (set -euo pipefail; "$@"); rc=$?; set -e; }
host_archs=" $(bash "$src/scripts/host-archs.sh") "
status=0
for a in i686 x86_64; do
  in_subshell check_installer_files "$a"
  if [ $rc -ne 0 ]; then echo "package: $a: FAILED: installer file list"; status=1; continue; fi
  case " $run_archs " in
    *" $a "*)
      in_subshell run_installer "$a"
      if [ $rc -eq 0 ]; then
        echo "package: $a: installed, ran and uninstalled under $(wine_of "$a"); file list checked"
      else
        echo "package: $a: FAILED: install, run and uninstall under $(wine_of "$a")"; status=1
      fi ;;
    *)
      case $host_archs in
        *" $a "*) echo "package: $a: not run: not in the architectures to run; file list checked" ;;
        *) echo "package: $a: not run: this host cannot execute $([ "$a" = i686 ] && echo 32 || echo 64)-bit code; file list checked" ;;
      esac ;;
  esac
done
exit $status
