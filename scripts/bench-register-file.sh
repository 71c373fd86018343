#!/usr/bin/env bash
# What the 32-bit register file costs each kernel, on any x86-64 machine (one
# that cannot execute 32-bit code included): om_bench built natively as usual
# (build/default) and again confined to 8 vector and 8 general registers, as
# i686 code is (build/regs8: -ffixed-xmm8..15, -ffixed-rbx, -ffixed-r10..15),
# run in turns, every case side by side with the ratio regs8 / full. A proxy
# only: 32-bit pointers, arguments on the stack and the Windows ABI are not
# in it; scripts/wine/run-bench.sh times the real i686 build.
#
#   scripts/bench-register-file.sh [--filter REGEX] [--min-time S] [--rounds N]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
filter='^(blend|cover|resample|soft_key|preview)/'
min_time=0.2
rounds=2
while [[ $# -gt 0 ]]; do
  case $1 in
    --filter) filter=${2:-}; shift 2 ;;
    --min-time) min_time=${2:-}; shift 2 ;;
    --rounds) rounds=${2:-}; shift 2 ;;
    *) echo "usage: $0 [--filter REGEX] [--min-time S] [--rounds N]" >&2; exit 2 ;;
  esac
done
jobs=${OM_JOBS:-2}

fixed=$(printf -- '-ffixed-xmm%d ' 8 9 10 11 12 13 14 15)
fixed+='-ffixed-rbx -ffixed-r10 -ffixed-r11 -ffixed-r12 -ffixed-r13 -ffixed-r14 -ffixed-r15'
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target om_bench >/dev/null
cmake -S . -B build/regs8 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOM_BUILD_TESTS=OFF \
  -DOM_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS="$fixed" >/dev/null
cmake --build build/regs8 -j "$jobs" --target om_bench >/dev/null

logs=build/bench-logs
mkdir -p "$logs"
full=() regs8=()
for ((r = 1; r <= rounds; ++r)); do
  for build in default regs8; do
    log=$logs/om_bench-$build-$r.log
    echo "== round $r: $build" >&2
    "build/$build/bench/om_bench" --benchmark_filter="$filter" --benchmark_min_time="$min_time" >"$log" 2>&1
    if [[ $build == default ]]; then full+=("$log"); else regs8+=("$log"); fi
  done
done
scripts/processor.sh
python3 scripts/bench_compare.py --a full "${full[@]}" --b regs8 "${regs8[@]}"
