#!/usr/bin/env bash
# make bench: exchange rates of the library against the in-process virtual board,
# with no call-log hooks, with logging switched off in the registry, and with
# logging on (every item), printed with their ratios in one run.
#   scripts/bench.sh WIN32_BUILD
set -euo pipefail
win=$(cd "$1" && pwd)
. "$(dirname "$0")/wine-env.sh" "$win/.."
wine "$win/tools/qrl_bench.exe" "${@:2}"
