#!/usr/bin/env bash
# Pictures of the Control Panel applet and the compatibility dialog under Xvfb.
#   scripts/screenshots-compat.sh i686|x86_64 BUILD_DIR
# Needs the targets vx710cpl, vx710cfg and cpl_shot_helper built in BUILD_DIR. Uses its
# own X11-driver prefix of that architecture, BUILD_DIR/../wineprefix-x11-<win32|win64>,
# and display :99; the pictures go to BUILD_DIR/screenshots/.
set -euo pipefail
arch=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=$build/screenshots
mkdir -p "$out"
. "$here/wine-arch.sh" "$arch"
export WINEPREFIX=$(cd "$build/.." && pwd)/wineprefix-x11-$WINEARCH DISPLAY=:99
# The applet's record carries Shift-JIS text; the Control Panel reads it in the
# process's ANSI code page, which is 932 only in a Japanese locale.
wine() { env LC_ALL=ja_JP.UTF-8 "$WINELOADER" "$@"; }
"$here/wineprefix.sh" "$arch" "$WINEPREFIX" x11
echo "screenshots: $arch build ($build) in $WINEPREFIX"

helper=$build/cplapplet/cpl_shot_helper.exe
sys=$WINEPREFIX/drive_c/windows/system32
lib_dir="$WINEPREFIX/drive_c/Program Files/zrn/vx7105/qrlink00/Release"

Xvfb :99 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$sys/vx710cpl.cpl" "$sys/vx710cfg.exe" "$sys/drivers/vx710s10.sys"
  rm -rf "$WINEPREFIX/drive_c/Program Files/zrn"
}
trap cleanup EXIT
sleep 1
shot() { xwd -root -display :99 | convert xwd:- "$out/$1.png"; echo "$out/$1.png"; }

# Installation: applet and utility in the system directory, a driver of version 6.2.1.7
# and a library of the release version 6.5.1.0 at the default library path.
cp "$build/cplapplet/vx710cpl.cpl" "$build/cfgtool/vx710cfg.exe" "$sys/"
mkdir -p "$lib_dir"
wine "$helper" stamp 'C:\windows\system32\vx710cpl.cpl' 'C:\windows\system32\drivers\vx710s10.sys' 6.2.1.7
wine "$helper" stamp 'C:\windows\system32\vx710cpl.cpl' \
  'C:\Program Files\zrn\vx7105\qrlink00\Release\qrlink00.dll' 6.5.1.0
touch -d '2002-03-07 12:00' "$sys/drivers/vx710s10.sys" "$lib_dir/qrlink00.dll" "$sys/vx710cfg.exe"

wine control </dev/null >/dev/null 2>&1 &
sleep 6
shot control-panel

# Open the item from the list: the applet starts the utility. With no driver service
# installed the utility first says so; that box is answered.
wine "$helper" open-item VX
sleep 5
shot utility-started
wine "$helper" click box 1 || true
sleep 2

wine "$helper" click main 1203
sleep 2
shot compat-opened
wine "$helper" click compat 1130
sleep 1
shot compat-passed
# The library gone: the next check fails and draws the library row and verdict in red.
rm -f "$lib_dir/qrlink00.dll"
wine "$helper" click compat 1130
sleep 1
shot compat-failed
