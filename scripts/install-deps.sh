#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those missing.
#   scripts/install-deps.sh native    build, tests, benchmarks, fuzzers
#   scripts/install-deps.sh windows   + MinGW-w64 cross compilers, Wine (64- and
#                                       32-bit: adds the i386 architecture), Xvfb
#   scripts/install-deps.sh bench     + the peer libraries the benchmarks compare with
#   scripts/install-deps.sh all       everything
# Exits 4 when all but the 32-bit packages were installed (the mirror gave
# no i386 index, or one that is partial or out of step with the amd64 one).
set -euo pipefail

# ffmpeg: the loader tests compare decoded APNG frames with its decoder.
native=(cmake g++ make pkg-config git python3 libgtest-dev libbenchmark-dev
        libpng-dev libjpeg62-turbo-dev libgif-dev clang libclang-rt-14-dev ffmpeg)
windows=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64
         googletest wine64 wine32:i386 locales xvfb fonts-wine imagemagick xauth)
# Only the benchmarks' comparisons with other libraries need them.
bench=(libswscale-dev libavfilter-dev)

wanted=("${native[@]}")
case "${1:-native}" in
  windows) wanted+=("${windows[@]}") ;;
  bench) wanted+=("${bench[@]}") ;;
  all) wanted+=("${windows[@]}" "${bench[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  # 32-bit packages come from the i386 architecture, added once.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "adding the i386 architecture" >&2
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index now and then: try again, and go on
  # with the indexes that did arrive; the install itself says if one is missing.
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -q && break
    echo "apt-get update failed (attempt $attempt), trying again" >&2
    sleep $((attempt * 10))
  done
  install() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "$@"; }
  install "${missing[@]}" && exit 0
  sleep 20
  "${sudo_cmd[@]}" apt-get update -q || true
  install "${missing[@]}" && exit 0
  # Without a whole i386 index the 32-bit packages cannot be had; everything else
  # still can, and the test run then counts the 32-bit suites as skipped.
  rest=()
  for p in "${missing[@]}"; do [[ $p == *:i386 ]] || rest+=("$p"); done
  ((${#rest[@]} == ${#missing[@]})) && exit 1
  echo "install-deps: the 32-bit packages cannot be had now; installing the rest" >&2
  install "${rest[@]}" || exit 1
  exit 4
fi
