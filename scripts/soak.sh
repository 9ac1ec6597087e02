#!/usr/bin/env bash
# make soak: the long soak (the test suite runs a short one): many threads, the
# call log on and rotating, then log decoding, handle and memory checks.
#   scripts/soak.sh WIN32_BUILD [full|short]
set -euo pipefail
win=$(cd "$1" && pwd)
. "$(dirname "$0")/wine-env.sh" "$win/.."
case "${2:-full}" in
  full) args=(--threads 8 --calls 5000) ;;
  *) args=(--threads 4 --calls 400) ;;
esac
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k' EXIT
wine "$win/boardlib/qrl_soak.exe" "${args[@]}"
