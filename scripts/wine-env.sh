# Sourced by the scripts: the Wine of one architecture in the build's own prefix.
#   . scripts/wine-env.sh i686|x86_64 BUILD_ROOT
vx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$vx_root/scripts/wine-arch.sh" "$1"
export WINEPREFIX=${WINEPREFIX:-$(cd "$2" && pwd)/wineprefix-$WINEARCH}
bash "$vx_root/scripts/wineprefix.sh" "$1" "$WINEPREFIX"
# Runs a Windows program quietly (Wine's own chatter goes to stderr).
w() { wine "$@"; }
# HKLM value helpers through Wine's reg.exe.
reg_dword() { wine reg add "HKLM\\$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null; }
reg_sz() { wine reg add "HKLM\\$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null; }
DLL_KEY='SYSTEM\CurrentControlSet\Services\vx710s10\Parameters\Device0\Settings\Dll'
