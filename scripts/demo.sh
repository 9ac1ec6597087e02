#!/usr/bin/env bash
# make demo: the sample application drives the virtual board through qrlink00.dll
# under Wine with the call log switched on through the registry; the log is decoded.
#   scripts/demo.sh i686|x86_64 WIN_BUILD BUILD_ROOT
set -euo pipefail
win=$(cd "$2" && pwd); root=$(cd "$3" && pwd)
. "$(dirname "$0")/wine-env.sh" "$1" "$root"
echo "== demo: the $VX_ARCH build ($win) in $WINEPREFIX"
out=$root/demo; mkdir -p "$out"; rm -f "$out"/vx710d10.log*
sim=$win/vboard/vx710sim.exe
demo=$win/examples/vx_demo.exe
dump=$win/tools/qrlogdump.exe

wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'w "$sim" uninstall >/dev/null 2>&1 || true; wineserver -k' EXIT

echo "== installing the driver stand-in's registry keys (vx710sim install)"
w "$sim" install
logpath="\\??\\$(winepath -w "$out/vx710d10.log")"
reg_sz "$DLL_KEY" LoggingPath "$logpath"
reg_dword "$DLL_KEY" LogFileCnt 0
reg_dword "$DLL_KEY" Logging 1
echo "   call log on: $logpath"

echo "== vx_demo against the in-process virtual board (QRLINK00_DEVICE=sim)"
QRLINK00_DEVICE=sim w "$demo" all | tee "$out/vx_demo.txt"

echo "== the call log, decoded by qrlogdump"
log=$out/vx710d10.log
[ -s "$log" ] || { echo "no call log was written" >&2; exit 1; }
w "$dump" "$(winepath -w "$log")" > "$out/calllog.txt"
head -60 "$out/calllog.txt"
echo "   ... $(wc -l < "$log") records in $log; full decode in $out/calllog.txt"

if [ "${DEMO_UI:-0}" = 1 ]; then
  echo "== the configuration utility under Xvfb (DEMO_UI=1)"
  bash "$(dirname "$0")/screenshots.sh" "$VX_ARCH" "$win"
fi
