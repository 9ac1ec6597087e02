#!/usr/bin/env bash
# Pictures of every page of the configuration utility's dialogs, as PNG files:
#   scripts/screenshots.sh i686|x86_64 BUILD_DIR   (that architecture's build, e.g. build/win32)
# Runs BUILD_DIR/cfgtool/cfg_screens.exe under Xvfb in a Wine prefix of that
# architecture with the X11 driver (BUILD_DIR/../wineprefix-x11-<win32|win64>) and
# writes BUILD_DIR/screenshots/<page>.png.
set -euo pipefail
arch=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-arch.sh" "$arch"
exe=$build/cfgtool/cfg_screens.exe
[ -f "$exe" ] || { echo "missing $exe (build target cfg_screens first)" >&2; exit 1; }
out=$build/screenshots
prefix=${VX_X11_PREFIX:-$(dirname "$build")/wineprefix-x11-$WINEARCH}
"$here/wineprefix.sh" "$arch" "$prefix" x11
echo "screenshots: $arch build ($build) in $prefix"
# The confirmation dialog uses the proportional face; picture it with the proportional
# IPA face so that line breaks come out as with the original font.
if [ ! -f "$prefix/.vx-pgothic" ]; then
  reg=$prefix/pgothic.reg
  python3 - "$reg" <<'PY'
import sys
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]", '"ＭＳ Ｐゴシック"="IPAPGothic"', "",
         r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]",
         '"ＭＳ Ｐゴシック"="IPAPGothic"', ""]
open(sys.argv[1], "wb").write(("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-16-le"))
PY
  WINEPREFIX=$prefix wine regedit /S "$(WINEPREFIX=$prefix winepath -w "$reg")" </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  touch "$prefix/.vx-pgothic"
fi

# A display number nobody uses.
disp=
for n in $(seq 71 99); do
  if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then disp=$n; break; fi
done
[ -n "$disp" ] || { echo "no free X display" >&2; exit 1; }
Xvfb :$disp -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$disp WINEPREFIX=$prefix
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for i in $(seq 50); do [ -e /tmp/.X11-unix/X$disp ] && break; sleep 0.1; done

mkdir -p "$out"
rm -f "$out"/*.ready "$out"/*.done "$out"/*.png
wine "$exe" "$(winepath -w "$out")" </dev/null &
app=$!
# Each page announces itself with <name>.ready ("x y w h"); take it, then answer .done.
while kill -0 "$app" 2>/dev/null; do
  for r in "$out"/*.ready; do
    [ -e "$r" ] || continue
    name=$(basename "$r" .ready)
    read -r x y w h <"$r"
    [ "$x" -lt 0 ] && { w=$((w + x)); x=0; }
    [ "$y" -lt 0 ] && { h=$((h + y)); y=0; }
    xwd -root -silent -display :$disp >"$out/$name.xwd"
    convert "xwd:$out/$name.xwd" -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
    [ -n "${VX_SHOTS_FULL:-}" ] && convert "xwd:$out/$name.xwd" "$out/$name-full.png"
    rm -f "$out/$name.xwd"
    rm -f "$r"
    touch "$out/$name.done"
    echo "$out/$name.png ${w}x${h}+${x}+${y}"
  done
  sleep 0.2
done
status=0
wait "$app" || status=$?
app=
rm -f "$out"/*.done
exit $status
