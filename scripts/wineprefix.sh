#!/usr/bin/env bash
# Creates (once) a Wine prefix of one architecture for the tests (win32 for i686, win64
# for x86_64): null graphics driver, no Mono/Gecko, and a Japanese font standing in for
# the dialog fonts the templates name.
#   scripts/wineprefix.sh i686|x86_64 PREFIX [x11]
set -euo pipefail
arch=$1; mode=${3:-null}
mkdir -p "$2"; prefix=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-arch.sh" "$arch"
export WINEPREFIX=$prefix
if [ -f "$prefix/.vx-ready" ]; then exit 0; fi
rm -rf "$prefix"; mkdir -p "$(dirname "$prefix")"
if ! wineboot -i >"$prefix.boot.log" 2>&1 </dev/null; then
  echo "wineprefix.sh: the $arch Wine loader ($WINELOADER) could not make $prefix:" >&2
  tail -3 "$prefix.boot.log" >&2
  exit 1
fi
rm -f "$prefix.boot.log"
reg=$prefix/fonts.reg
# regedit wants UTF-16LE with a BOM for the Japanese value names.
python3 - "$reg" "$mode" <<'PY'
import sys
path, mode = sys.argv[1], sys.argv[2]
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
         '"ＭＳ ゴシック"="IPAGothic"', '"ＭＳ Ｐゴシック"="IPAGothic"',
         '"MS Shell Dlg"="IPAGothic"', "",
         r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]",
         '"ＭＳ ゴシック"="IPAGothic"', '"ＭＳ Ｐゴシック"="IPAGothic"', ""]
if mode == "null":
    lines += [r"[HKEY_CURRENT_USER\Software\Wine\Drivers]", '"Graphics"="null"', ""]
open(path, "wb").write(("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-16-le"))
PY
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null
wineserver -w
touch "$prefix/.vx-ready"
