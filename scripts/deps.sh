#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need, when missing.
# Safe to run repeatedly, with no standard input.
#
# The 32-bit Wine (wine32, and with it Debian's i386 architecture) is installed only
# where i686 programs are to run: when ARCHS names i686, or, without ARCHS, when this
# host executes 32-bit code. Elsewhere it could not start anyway, and installed it makes
# Debian's wine wrappers choose it and fail.
#
# A package index that apt refuses (its hash does not match the signed Release file,
# as when a mirror is caught half-way through a sync) is retried a few times, then
# reported, and nothing is installed from it. VX_DEPS_TAKE_UNSYNCED_INDEX=1 (for
# disposable machines only, such as CI's) instead downloads such an index unverified
# and puts it in apt's lists, so that apt then trusts package hashes from a file no
# signature covers; a warning line says so each time.
set -u
here=$(cd "$(dirname "$0")" && pwd)
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake make g++ python3 curl xz-utils
      g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      wine wine64 xvfb x11-apps imagemagick fonts-ipafont-gothic nsis zip unzip p7zip-full
      googletest clang libclang-rt-14-dev llvm doxygen fp-utils lld pkgconf)
archs=${ARCHS:-$(bash "$here/host-archs.sh")}
want32=0
case " $archs " in *" i686 "*) want32=1; pkgs+=(wine32:i386) ;; esac

need=()
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
if [ "$want32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "deps: adding Debian's i386 architecture for the 32-bit Wine (wine32:i386 and its i386 libraries)"
  dpkg --add-architecture i386
fi
echo "deps: installing ${need[*]}"

# apt-get update, retried while an index is refused. Prints the refused index
# addresses (none when all came through).
refused_indexes() {
  local log; log=$(mktemp)
  apt-get update -qq </dev/null >"$log" 2>&1
  grep -oE 'Failed to fetch https?://[^ ]+' "$log" | awk '{print $4}' | sort -u
  rm -f "$log"
}
update() {
  local refused tries
  for tries in 1 2 3 4; do
    refused=$(refused_indexes)
    [ -z "$refused" ] && return 0
    echo "deps: apt refused an index (try $tries of 4): $refused"
    [ "$tries" -lt 4 ] && sleep $((tries * 15))
  done
  if [ "${VX_DEPS_TAKE_UNSYNCED_INDEX:-0}" = 1 ]; then
    take_unverified $refused
    return 0
  fi
  cat >&2 <<EOF
deps: apt still refuses these package indexes after 4 tries:
$(printf '  %s\n' $refused)
deps: the mirror is probably half-way through a sync; try again later. On a disposable
deps: machine only, VX_DEPS_TAKE_UNSYNCED_INDEX=1 takes such an index unverified.
EOF
  return 1
}
# The opt-in workaround: a refused Packages.xz, downloaded and installed unverified.
take_unverified() {
  local url list
  for url in "$@"; do
    case "$url" in *Packages.xz) ;; *) continue ;; esac
    list=/var/lib/apt/lists/$(echo "${url#*://}" | sed 's/\.xz$//; s#/#_#g')
    if curl -fsS "$url" | xz -dc >"$list.tmp" 2>/dev/null && [ -s "$list.tmp" ]; then
      mv "$list.tmp" "$list"
      echo "deps: WARNING: took the index $url without verification (VX_DEPS_TAKE_UNSYNCED_INDEX=1)"
    else
      rm -f "$list.tmp"
    fi
  done
}

update || exit 1
if ! apt-get install -y -qq "${need[@]}" </dev/null; then
  echo "deps: installation failed; updating the indexes once more and retrying"
  sleep 5
  update || exit 1
  apt-get install -y -qq "${need[@]}" </dev/null || { echo "deps: could not install ${need[*]}" >&2; exit 1; }
fi
