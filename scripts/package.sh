#!/usr/bin/env bash
# make package: stages the deliverables and the SDK, builds the NSIS installer and a
# zip of the same tree, then tests the installer in a fresh Wine prefix: silent
# install, the sample against the in-process virtual board, silent uninstall
# leaving nothing behind.
#   scripts/package.sh WIN32_BUILD BUILD_ROOT
set -euo pipefail
win=$1; root=$2; src=$(cd "$(dirname "$0")/.." && pwd)
out=$root/package; stage=$out/stage
rm -rf "$out"; mkdir -p "$stage"/{system32,qrlink00/Release,tools,sdk/{include,lib,examples,bin}}

cp "$win/cfgtool/vx710cfg.exe" "$win/cplapplet/vx710cpl.cpl" "$stage/system32/"
cp "$win/boardlib/qrlink00.dll" "$stage/qrlink00/Release/"
cp "$win/tools/qrlogdump.exe" "$win/vboard/vx710sim.exe" "$stage/tools/"
cp "$src/boardlib/include/qrlink00.h" "$stage/sdk/include/"
cp "$win/sdk/lib/libqrlink00.a" "$stage/sdk/lib/"
# MSVC callers: an import library in the Microsoft format from the same .def.
llvm-dlltool -m i386 -d "$src/boardlib/win32/qrlink00.def" -k -l "$stage/sdk/lib/qrlink00.lib"
cp "$src/boardlib/win32/qrlink00.def" "$stage/sdk/lib/"
cp "$src/examples/vx_demo.c" "$src/examples/CMakeLists.txt" "$stage/sdk/examples/"
cp "$win/examples/vx_demo.exe" "$win/boardlib/qrlink00.dll" "$stage/sdk/bin/"
cp "$src/README.md" "$stage/sdk/"
[ -f "$src/vboard/README.md" ] && cp "$src/vboard/README.md" "$stage/sdk/README-vboard.md"
[ -f "$src/tools/README-calllog.md" ] && cp "$src/tools/README-calllog.md" "$stage/sdk/"

installer=$out/vx7105-setup-6.5.1.exe
makensis -V2 -DSTAGE="$stage" -DOUTFILE="$installer" "$src/installer/vx7105.nsi"
(cd "$stage" && zip -qr "$out/vx7105-6.5.1.zip" .)
echo "package: $installer ($(stat -c %s "$installer") bytes), $out/vx7105-6.5.1.zip"

# The installer in a fresh prefix of its own.
export WINEPREFIX=$out/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$src/scripts/wineprefix.sh" "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k' EXIT
snapshot() { (cd "$WINEPREFIX/drive_c" && find . -path ./users -prune -o -path ./windows/temp -prune -o -print | sort); \
             wine reg export 'HKLM\Software' "$(winepath -w "$1.reg")" /y >/dev/null 2>&1; \
             iconv -f utf-16 -t utf-8 "$1.reg" | grep -v '^"InstallDate' > "$1.regtxt" || true; }
snapshot "$out/before" > "$out/before.files"
wine "$installer" /S
sys=$(winepath -u 'C:\windows\system32')
pf="$WINEPREFIX/drive_c/Program Files/zrn/vx7105"
for f in "$sys/vx710cfg.exe" "$sys/vx710cpl.cpl" "$pf/qrlink00/Release/qrlink00.dll" "$pf/sdk/include/qrlink00.h" \
         "$pf/sdk/lib/libqrlink00.a" "$pf/sdk/lib/qrlink00.lib" "$pf/sdk/bin/vx_demo.exe" "$pf/uninstall.exe"; do
  [ -f "$f" ] || { echo "package: not installed: $f" >&2; exit 1; }
done
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VX7105HostSoftware' /v DisplayName >/dev/null
QRLINK00_DEVICE=sim wine "$pf/sdk/bin/vx_demo.exe" open > "$out/installed-demo.txt"
grep -q 'BdClose(0).* 0  success' "$out/installed-demo.txt" || { cat "$out/installed-demo.txt"; exit 1; }
echo "package: installed sample ran against the virtual board"
# The uninstaller runs from a copy in the temporary folder so that it can remove
# itself and its folder; wait for that copy to finish.
wine "$pf/uninstall.exe" /S
for _ in $(seq 120); do [ -e "$pf" ] || [ -e "$sys/vx710cfg.exe" ] || break; sleep 0.5; done
for _ in $(seq 120); do [ -e "$pf" ] || break; sleep 0.5; done
snapshot "$out/after" > "$out/after.files"
if ! diff -u "$out/before.files" "$out/after.files" || ! diff -u "$out/before.regtxt" "$out/after.regtxt" >/dev/null; then
  echo "package: the uninstaller left something behind" >&2; exit 1
fi
echo "package: silent install, sample run and silent uninstall passed; nothing left behind"
