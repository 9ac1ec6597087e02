#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need, when missing.
# Safe to run repeatedly, with no standard input.
set -u
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
pkgs=(cmake make g++ python3 curl xz-utils g++-mingw-w64-i686-posix binutils-mingw-w64-i686
      wine wine32 wine64 xvfb x11-apps imagemagick fonts-ipafont-gothic nsis zip unzip
      googletest clang libclang-rt-14-dev llvm)
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0
echo "deps: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

# A mirror caught half-way through a sync serves a Packages.xz that no longer matches its
# Release file; apt then drops that index and the i386 side of wine32 cannot be resolved.
# The file itself is a valid index one sync apart, so take it as it is rather than fail.
update() {
  local log; log=$(mktemp)
  apt-get update -qq </dev/null >"$log" 2>&1
  grep -oE 'Failed to fetch https?://[^ ]+/Packages\.xz' "$log" | awk '{print $4}' | sort -u |
  while read -r url; do
    list=/var/lib/apt/lists/$(echo "${url#*://}" | sed 's/\.xz$//; s#/#_#g')
    if curl -fsS "$url" | xz -dc >"$list.tmp" 2>/dev/null && [ -s "$list.tmp" ]; then
      mv "$list.tmp" "$list"; echo "deps: took the unsynced index $url as it is"
    else rm -f "$list.tmp"; fi
  done
  rm -f "$log"
}
update
if ! apt-get install -y -qq "${need[@]}" </dev/null; then
  sleep 5; update
  apt-get install -y -qq "${need[@]}" </dev/null
fi
