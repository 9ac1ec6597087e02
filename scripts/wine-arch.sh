# Sourced: the Wine of one architecture, called through its own loader.
#   . scripts/wine-arch.sh i686|x86_64
# Debian's `wine`, `winepath` and `wineboot` wrappers always prefer the 32-bit loader
# when it is installed, which fails outright on a host that runs no 32-bit code; these
# functions call the loader of the architecture asked for instead. Sets WINEARCH,
# WINELOADER (the loader Wine uses for the processes a program starts), quiet
# debugging and no Mono/Gecko.
case "${1:-}" in
  i686)   export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
  x86_64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "wine-arch.sh: architecture i686 or x86_64, not '${1:-}'" >&2; return 2 2>/dev/null || exit 2 ;;
esac
export VX_ARCH=$1 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "$WINELOADER" "$@"; }
winepath() { "$WINELOADER" winepath "$@"; }
wineboot() { "$WINELOADER" wineboot "$@"; }
