#!/usr/bin/env bash
# Builds the Windows plug-in with MinGW-w64, each with its test programs and
# om_host.exe:
#   build/mingw-i686  the shipping 32-bit Ostrane_Marquel.dll (Release,
#                     stripped; symbols in Ostrane_Marquel.dll.debug)
#   build/mingw-x64   the same sources as 64-bit code
#   build/win         native om_frame_check, the reference run-wine-tests.sh
#                     compares the Windows output with
#
#   scripts/wine/build-windows.sh [--no-native]
#
# Jobs: OM_JOBS (default 2).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
jobs=${OM_JOBS:-2}
native=1
[[ ${1:-} == --no-native ]] && native=0

for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ cmake; do
  command -v "$tool" >/dev/null || { echo "build-windows: $tool not found" >&2; exit 2; }
done

cmake --preset mingw-i686
cmake --build --preset mingw-i686 -j "$jobs"
cmake --preset mingw-x64
cmake --build --preset mingw-x64 -j "$jobs"

if [[ $native -eq 1 ]]; then
  native_dir=${OM_NATIVE_BUILD:-$root/build/win}
  cmake -S "$root" -B "$native_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOM_BUILD_BENCH=OFF -DOM_BUILD_TOOLS=OFF
  cmake --build "$native_dir" -j "$jobs" --target om_frame_check
fi
echo "build-windows: done"
