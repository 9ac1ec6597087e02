#!/usr/bin/env bash
# make bench: exchange rates of the library against the in-process virtual board,
# with no call-log hooks, with logging switched off in the registry, and with
# logging on (every item), printed with their ratios in one run.
#   scripts/bench.sh i686|x86_64 WIN_BUILD BUILD_ROOT [bench options]
set -euo pipefail
win=$(cd "$2" && pwd)
. "$(dirname "$0")/wine-env.sh" "$1" "$3"
echo "bench: $VX_ARCH build ($win) in $WINEPREFIX"
wine "$win/systest/qrl_bench.exe" "${@:4}"
