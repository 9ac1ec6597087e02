#!/usr/bin/env bash
# Creates (once) a 32-bit Wine prefix for the tests: null graphics driver, no Mono/Gecko,
# and a Japanese font standing in for the dialog fonts the templates name.
#   scripts/wineprefix.sh PREFIX [x11]
set -euo pipefail
prefix=$1; mode=${2:-null}
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$prefix/.vx-ready" ]; then exit 0; fi
rm -rf "$prefix"; mkdir -p "$(dirname "$prefix")"
wineboot -i >/dev/null 2>&1 </dev/null
here=$(cd "$(dirname "$0")" && pwd)
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
