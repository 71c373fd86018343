#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those missing.
#   scripts/install-deps.sh native    build, tests, benchmarks, fuzzers
#   scripts/install-deps.sh windows   + MinGW-w64 cross compilers, Wine (64- and
#                                       32-bit: adds the i386 architecture), Xvfb
#   scripts/install-deps.sh bench     + the peer libraries the benchmarks compare with
#   scripts/install-deps.sh all       everything
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
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
