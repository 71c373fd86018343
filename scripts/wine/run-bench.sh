#!/usr/bin/env bash
# The shipping 32-bit build's speed beside the 64-bit one's, on this machine:
#   kernels  om_bench.exe of build/mingw-i686 and of build/mingw-x64 under
#            Wine, every case's time per unit side by side with the ratio
#            i686 / x64 (target <= 1.25)
#   frames   the plain frame of a 1080p still logo through om_host (scalar,
#            SSE2 and AVX2 kernels) and of a channel without a logo: the
#            native x64 .so, the x64 DLL and the i686 DLL under Wine; the
#            i686 DLL's median over the .so's (target <= 1.25)
# Builds nothing: run scripts/wine/build-windows.sh and a native build
# (build/default, or the one OM_HOST_BUILD names) first.
# On a machine that cannot execute 32-bit code the i686 columns say so.
#
#   scripts/wine/run-bench.sh [--filter REGEX] [--min-time S] [--frames N]
#   scripts/wine/run-bench.sh --short   a few cases and frames: the harness
#                                       runs (test.sh); no speed is judged
#
# Ends with "bench-windows: N passed, N failed (N skipped)": a run that gave
# its figures passes, whatever they are.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
filter='^(blend|cover|preview|resample|soft_key|prepare|frame)/'
min_time=0.3
frames=1000
short=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --filter) filter=${2:-}; shift 2 ;;
    --min-time) min_time=${2:-}; shift 2 ;;
    --frames) frames=${2:-}; shift 2 ;;
    --short) short=1; shift ;;
    *) echo "usage: $0 [--filter REGEX] [--min-time S] [--frames N] [--short]" >&2; exit 2 ;;
  esac
done
if ((short)); then
  filter='^(blend/720x576/yuv422/(c|sse2)|frame/576p/still 188x100 yuv422/pipeline)$'
  min_time=0.01
  frames=20
fi

passed=0 failed=0 skipped=0
work=$(mktemp -d "${TMPDIR:-/tmp}/om-bench.XXXXXX")
logs=$root/build/bench-logs
mkdir -p "$logs"
cleanup() {
  for arch in x64 i686; do
    [[ -d $work/prefix-$arch ]] && WINEPREFIX=$work/prefix-$arch /usr/lib/wine/wineserver -k 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

"$root/scripts/processor.sh"

# Which Windows builds run here: x64 always (64-bit Wine); i686 when the
# probe runs 32-bit code.
archs=(x64)
"$root/scripts/wine/probe-32bit.sh" >"$logs/probe-32bit.log" 2>&1
case $? in
  0) archs+=(i686) ;;
  3) i686_why="this machine cannot execute 32-bit code" ;;
  *) i686_why="no 32-bit Wine here (see $logs/probe-32bit.log)" ;;
esac

run_wine() {  # arch program [arguments]: under that arch's loader and prefix
  local arch=$1
  (
    # shellcheck source=arch.sh
    source "$root/scripts/wine/arch.sh"
    om_wine_arch "$arch" >/dev/null || exit 2
    export WINEPREFIX=$work/prefix-$arch
    [[ -d $WINEPREFIX ]] || om_make_prefix "$WINEPREFIX" "$logs/wineboot-$arch.log" || exit 2
    timeout 1800 "$om_wine" "${@:2}"
  )
}

# ---- kernels ----------------------------------------------------------------
for arch in "${archs[@]}"; do
  exe=$root/build/mingw-$arch/bench/om_bench.exe
  if [[ ! -f $exe ]]; then
    echo "run-bench: $exe missing; run scripts/wine/build-windows.sh" >&2
    failed=$((failed + 1))
    continue
  fi
  echo "== om_bench $arch"
  if run_wine "$arch" "$exe" "--benchmark_filter=$filter" "--benchmark_min_time=$min_time" \
       >"$logs/om_bench-$arch.log" 2>&1 && grep -q 'ns_per_unit=' "$logs/om_bench-$arch.log"; then
    passed=$((passed + 1))
  else
    tail -20 "$logs/om_bench-$arch.log"
    failed=$((failed + 1))
  fi
done
[[ -n ${i686_why:-} ]] && skipped=$((skipped + 1))

echo
python3 "$root/scripts/bench_compare.py" --a x64 "$logs/om_bench-x64.log" \
  --b i686 "$logs/om_bench-i686.log" --why-no-b "${i686_why:-}"

# ---- frames -----------------------------------------------------------------
# A 1080p JPEG still at 250x200 thousandths of a 1080p frame, opacity 80 %,
# at each kernel level; and a channel without a logo, which costs the way
# in and out alone.
logo=$work/still.jpg
if ! convert -size 1920x1080 gradient:navy-orange -quality 90 "$logo" 2>"$logs/convert.log"; then
  cat "$logs/convert.log"
  failed=$((failed + 1))
fi
settings() {  # logo path, empty for none
  printf '[COMMON]\nPrivateSettings=1\n'
  [[ -n $1 ]] && printf '[1]\nLogoFileName=%s\nLogoPosX=700\nLogoPosY=50\nLogoSizeX=250\nLogoSizeY=200\nLogoOpacity=80\n' "$1"
}
median() { sed -nE 's/^  plain +[0-9]+ frames: median ([0-9.]+) us.*/\1/p' "$1"; }
native=${OM_HOST_BUILD:-$root/build/default}/tools/host/om_host
builds=(so "${archs[@]}")

# frames ROW LOGO SIMD: one om_host run per build; plain[ROW,build] = median.
declare -A plain
frames() {
  local row=$1 logo=$2 simd=$3 build dir log
  local args=(--size 1920x1080 --channels "1:First@0" --frames "$frames" --simd "$simd")
  for build in "${builds[@]}"; do
    dir=$work/$row/$build
    log=$logs/om_host-$row-$build.log
    rm -rf "$dir"
    if [[ $build == so ]]; then
      [[ -x $native ]] || continue
      mkdir -p "$dir/Tulvane/Plugins"
      settings "$logo" >"$dir/Tulvane/Plugins/Ostrane_Marquel.ini"
      "$native" "${args[@]}" --settings-dir "$dir" >"$log" 2>&1 || continue
    else
      # om_host.exe finds the settings in Plugins\ beside itself.
      mkdir -p "$dir/Plugins"
      cp "$root/build/mingw-$build/tools/host/om_host.exe" "$root/build/mingw-$build/Ostrane_Marquel.dll" "$dir/" || continue
      settings "${logo:+Z:${logo//\//\\}}" >"$dir/Plugins/Ostrane_Marquel.ini"
      (cd "$dir" && run_wine "$build" om_host.exe "${args[@]}" --plugin Ostrane_Marquel.dll) >"$log" 2>&1 || continue
    fi
    plain[$row,$build]=$(median "$log")
  done
}
rows=(scalar sse2 avx2 none)
((short)) && rows=(avx2 none)
for row in "${rows[@]}"; do
  if [[ $row == none ]]; then frames none "" avx2; else frames "$row" "$logo" "$row"; fi
done

echo
printf '%-28s %10s %10s %10s %11s\n' "plain frame, median us" ".so x64" "DLL x64" "DLL i686" "i686 / .so"
for row in "${rows[@]}"; do
  so=${plain[$row,so]:-} x=${plain[$row,x64]:-} i=${plain[$row,i686]:-}
  ratio=-
  [[ -n $so && -n $i ]] && ratio=$(awk -v a="$i" -v b="$so" 'BEGIN { r = a / b; printf "%.3f %s", r, (r <= 1.25 ? "ok" : "MISSED") }')
  label="1080p still, $row"
  [[ $row == none ]] && label="1080p, no logo"
  printf '%-28s %10s %10s %10s %11s\n' "$label" "${so:--}" "${x:--}" "${i:--}" "$ratio"
  for build in "${builds[@]}"; do
    if [[ -n ${plain[$row,$build]:-} ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  done
done
if [[ -n ${i686_why:-} ]]; then
  echo "i686: not run: $i686_why"
  skipped=$((skipped + 1))
fi
echo "logs: $logs"
echo "bench-windows: $passed passed, $failed failed ($skipped skipped)"
((failed == 0))
