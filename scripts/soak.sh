#!/usr/bin/env bash
# make soak: the long soak (the test suite runs a short one): many threads, the
# call log on and rotating, then log decoding, handle and memory checks.
#   scripts/soak.sh i686|x86_64 WIN_BUILD BUILD_ROOT [full|short]
set -euo pipefail
win=$(cd "$2" && pwd)
. "$(dirname "$0")/wine-env.sh" "$1" "$3"
echo "soak: $VX_ARCH build ($win) in $WINEPREFIX"
case "${4:-full}" in
  full) args=(--threads 8 --calls 5000) ;;
  *) args=(--threads 4 --calls 400) ;;
esac
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k' EXIT
wine "$win/systest/qrl_soak.exe" "${args[@]}"
