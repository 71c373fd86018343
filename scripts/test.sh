#!/usr/bin/env bash
# Passes every test: the native suite (warnings as errors), the same suite
# under ASan/UBSan and under TSan, a short run of every fuzzer, and the
# Windows builds with their suites under Wine: the x86-64 build under 64-bit
# Wine, and the shipping i686 build under 32-bit Wine when this machine runs
# 32-bit code (else those suites count as skipped). Installs what it needs.
# Ends with one line "tests: N passed, N failed, N skipped".
#   FUZZ_SECONDS=20  seconds per fuzz target
#   SKIP_WINDOWS=1   native only
#   OM_JOBS=N        parallel build and test jobs (default: the processors)
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${OM_JOBS:-$(nproc)}
export OM_JOBS=$jobs
total_passed=0
total_failed=0
total_skipped=0
log_dir=build/test-logs
mkdir -p "$log_dir"

if [[ "${SKIP_WINDOWS:-0}" == 1 ]]; then
  scripts/install-deps.sh native
else
  scripts/install-deps.sh windows
  # 4: the mirror gave no usable i386 index, so no 32-bit Wine to run the DLL with.
  (($? == 4)) && no_wine32=1
fi

count() {  # name passed failed [skipped]
  local skipped=${4:-0}
  echo "== $1: $2 passed, $3 failed$( ((skipped)) && echo ", $skipped skipped")"
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
  total_skipped=$((total_skipped + skipped))
}

ctest_suite() {  # preset
  local preset=$1 log="$log_dir/$1.log"
  echo "== building $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$jobs"; } >"$log" 2>&1; then
    tail -40 "$log"
    count "$preset build" 0 1
    return
  fi
  ctest --preset "$preset" -j"$jobs" --timeout 600 >>"$log" 2>&1
  local summary
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -1)
  if [[ -z "$summary" ]]; then
    tail -40 "$log"
    count "$preset" 0 1
    return
  fi
  local failed all skipped
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
  all=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
  # ctest counts a skipped test as passed and lists it as "(Skipped)".
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log")
  ((failed > 0)) && sed -n '/The following tests FAILED/,$p' "$log"
  count "$preset" $((all - failed - skipped)) "$failed" "$skipped"
}

fuzz_suite() {
  local log="$log_dir/fuzz.log" secs=${FUZZ_SECONDS:-20}
  echo "== building fuzz"
  if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$jobs"; } >"$log" 2>&1; then
    tail -40 "$log"
    count "fuzz build" 0 1
    return
  fi
  local passed=0 failed=0
  for target in build/fuzz/fuzz/*_fuzz; do
    [[ -x "$target" ]] || continue
    local name corpus work
    name=$(basename "$target" _fuzz)
    corpus="fuzz/corpus/$name"
    work=$(mktemp -d)
    [[ -d "$corpus" ]] && cp -r "$corpus/." "$work/"
    if "$target" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$log_dir/fuzz-$name-" "$work" \
        >"$log_dir/fuzz-$name.log" 2>&1; then
      echo "   $name: $(grep -m1 -E 'stat::number_of_executed_units' "$log_dir/fuzz-$name.log" | awk '{print $2}') executions clean"
      passed=$((passed + 1))
    else
      tail -30 "$log_dir/fuzz-$name.log"
      failed=$((failed + 1))
    fi
    rm -rf "$work"
  done
  count fuzz "$passed" "$failed"
}

# Folders depend downwards only.
if python3 scripts/include-graph.py >"$log_dir/include-graph.log" 2>&1; then
  count "include graph" 1 0
else
  cat "$log_dir/include-graph.log"
  count "include graph" 0 1
fi

# The dialog's resource script and header are what their tables write.
if python3 dialog/resources/draw_resources.py --check >"$log_dir/resources.log" 2>&1; then
  count "generated resources" 1 0
else
  cat "$log_dir/resources.log"
  count "generated resources" 0 1
fi

ctest_suite ci
ctest_suite asan
ctest_suite tsan
fuzz_suite

# A suite script that ends with a line "<name>: N passed, N failed", maybe
# followed by "(N skipped)".
script_suite() {  # name script [arguments]
  local name=$1 log="$log_dir/$1.log" line p f s
  "${@:2}" >"$log" 2>&1
  local code=$?
  line=$(grep -E '^[A-Za-z-]+: [0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [[ -z "$line" ]]; then
    tail -60 "$log"
    count "$name" 0 1
    return
  fi
  p=$(sed -E 's/^[A-Za-z-]+: ([0-9]+) passed, ([0-9]+) failed.*/\1/' <<<"$line")
  f=$(sed -E 's/^[A-Za-z-]+: ([0-9]+) passed, ([0-9]+) failed.*/\2/' <<<"$line")
  s=$(sed -nE 's/.*\(([0-9]+) skipped\).*/\1/p' <<<"$line")
  if ((f > 0 || code != 0)); then
    tail -60 "$log"
    ((f == 0)) && f=1
  fi
  count "$name" "$p" "$f" "${s:-0}"
}

if [[ "${SKIP_WINDOWS:-0}" != 1 ]]; then
  echo "== building windows"
  if scripts/wine/build-windows.sh >"$log_dir/windows-build.log" 2>&1; then
    count "windows build" 1 0
    script_suite dll-check scripts/wine/check-dll.sh
    script_suite wine scripts/wine/run-wine-tests.sh
    script_suite wine-gui scripts/wine/run-gui-tests.sh
    # Both builds' om_bench and om_host runs work (figures: run-bench.sh).
    OM_HOST_BUILD=build/ci script_suite bench-windows scripts/wine/run-bench.sh --short
    # The shipping build, as 32-bit code, when this machine can run it.
    if ((${no_wine32:-0})); then
      probe=4
    else
      scripts/wine/probe-32bit.sh >"$log_dir/probe-32bit.log" 2>&1
      probe=$?
    fi
    case $probe in
      0)
        script_suite wine-i686 scripts/wine/run-wine-tests.sh --arch i686
        script_suite wine-gui-i686 scripts/wine/run-gui-tests.sh --arch i686
        # The 32-bit DLL and the 64-bit one give the same bytes to a hostile host.
        if [[ -s build/gui-logs/fpu-scenario.txt ]] &&
           cmp -s build/gui-logs/fpu-scenario.txt build/gui-logs-i686/fpu-scenario.txt; then
          count "hostile-fpu i686 = x64" 1 0
        else
          echo "   x64:  $(cat build/gui-logs/fpu-scenario.txt 2>/dev/null)"
          echo "   i686: $(cat build/gui-logs-i686/fpu-scenario.txt 2>/dev/null)"
          count "hostile-fpu i686 = x64" 0 1
        fi
        ;;
      3)
        echo "== wine-i686, wine-gui-i686: skipped: this machine cannot execute 32-bit code"
        total_skipped=$((total_skipped + 2))
        ;;
      4)
        echo "== wine-i686, wine-gui-i686: skipped: 32-bit Wine could not be installed (no usable i386 package index)"
        total_skipped=$((total_skipped + 2))
        ;;
      *)
        cat "$log_dir/probe-32bit.log"
        count "probe-32bit" 0 1
        ;;
    esac
  else
    tail -40 "$log_dir/windows-build.log"
    count "windows build" 0 1
  fi
fi

echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
((total_failed == 0))
