#!/usr/bin/env bash
# Runs the cross-built Windows tests under Wine. Builds nothing: run
# scripts/wine/build-windows.sh first.
#
#   scripts/wine/run-wine-tests.sh [--arch x64|i686]
#
# x64 (the default) runs build/mingw-x64 under the 64-bit loader in a win64
# prefix; i686 runs build/mingw-i686, the shipping build, under the 32-bit
# loader in a win32 prefix (see arch.sh).
#
# One throw-away Wine prefix is made per run and hard-link copied for each
# group, so every group starts from a clean registry:
#   suite       every <build>/tests/*_tests.exe
#   no-gdiplus  the bitmap fallback with gdiplus.dll really missing
#   cp1251      code-page tests with the Russian system code page
#   abi         (i686) host_abi_tests: the 32-bit host's calls, at the
#               default and the SSE2 kernels; Wine's null display driver
#               gives it the settings dialog without an X server
#   frames      om_frame_check under Wine (default, SSE2 and scalar kernels)
#               compared byte for byte with the native build's output
# Ends with "N passed, N failed (N skipped)" (tests and comparisons) and a
# nonzero exit status on any failure. Logs stay in $OM_WINE_LOGS (default
# build/wine-logs, build/wine-logs-i686).
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
arch=x64
while [[ $# -gt 0 ]]; do
  case $1 in
    --arch) arch=${2:-}; shift 2 ;;
    *) echo "usage: $0 [--arch x64|i686]" >&2; exit 2 ;;
  esac
done
# shellcheck source=arch.sh
source "$root/scripts/wine/arch.sh"
om_wine_arch "$arch" || exit 2
build=$om_build wine=$om_wine wineserver=$om_wineserver
native=${OM_NATIVE_BUILD:-$root/build/win}
default_logs=$root/build/wine-logs
[[ $arch == x64 ]] || default_logs+=-$arch
logs=${OM_WINE_LOGS:-$default_logs}
shopt -s nullglob
suites=("$build"/tests/*_tests.exe)
if [[ ${#suites[@]} -eq 0 ]]; then
  echo "run-wine-tests: no test programs in $build/tests; run scripts/wine/build-windows.sh" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/om-wine.XXXXXX")
rm -rf "$logs"
mkdir -p "$logs"
prefixes=()
cleanup() {
  for p in "${prefixes[@]}"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

export WINEDEBUG=-all
base_overrides="mscoree,mshtml="

passed=0
failed=0
skipped=0

echo "== making the Wine prefix ($WINEARCH)"
start=$SECONDS
if ! om_make_prefix "$work/template" "$logs/wineboot.log" WINEDLLOVERRIDES=$base_overrides; then
  echo "run-wine-tests: wineboot failed, see $logs/wineboot.log" >&2
  exit 2
fi
echo "   ($((SECONDS - start)) s)"

# A copy of the template: the large DLL tree hard-linked (Wine never writes
# it), the registry files copied (Wine rewrites them).
new_prefix() {
  local p=$work/$1
  cp -al "$work/template" "$p"
  for reg in "$work"/template/*.reg; do cp --remove-destination "$reg" "$p/"; done
  prefixes+=("$p")
  echo "$p"
}

end_prefix() {
  WINEPREFIX=$1 "$wineserver" -k 2>/dev/null
  WINEPREFIX=$1 "$wineserver" -w 2>/dev/null
}

# run_gtest <label> <prefix> <exe> [VAR=value ...] [-- gtest args]
run_gtest() {
  local label=$1 prefix=$2 exe=$3
  shift 3
  local env_vars=() args=()
  while [[ $# -gt 0 && $1 != -- ]]; do env_vars+=("$1"); shift; done
  [[ ${1:-} == -- ]] && shift
  args=("$@")
  local log=$logs/$label.log
  (cd "$(dirname "$exe")" &&
    env WINEPREFIX="$prefix" WINEDLLOVERRIDES="$base_overrides" "${env_vars[@]}" \
      timeout 900 "$wine" "$exe" "${args[@]}") >"$log" 2>&1
  local code=$?
  local p f s
  p=$(grep -aE '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | awk '{print $4}')
  f=$(grep -aE '^\[  FAILED  \] [0-9]+ test' "$log" | tail -1 | awk '{print $4}')
  s=$(grep -aE '^\[  SKIPPED \] [0-9]+ test' "$log" | tail -1 | awk '{print $4}')
  p=${p:-0} f=${f:-0} s=${s:-0}
  if [[ $code -ne 0 && $f -eq 0 ]]; then
    f=1  # crashed or timed out before gtest could count
    echo "   $label: exit status $code, see $log"
  fi
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  printf '   %-28s %3d passed, %d failed, %d skipped\n' "$label" "$p" "$f" "$s"
  [[ $f -eq 0 ]] || grep -aE '^\[  FAILED  \] [A-Za-z].* \([0-9]+ ms\)$' "$log" | sed 's/^/     /'
}

echo "== suite"
prefix=$(new_prefix suite)
for exe in "${suites[@]}"; do
  run_gtest "$(basename "$exe" .exe)" "$prefix" "$exe"
done
end_prefix "$prefix"

win32=$build/tests/win32_tests.exe
if [[ -f $win32 ]]; then
  echo "== no-gdiplus (gdiplus.dll disabled)"
  prefix=$(new_prefix nogdiplus)
  run_gtest win32-no-gdiplus "$prefix" "$win32" WINEDLLOVERRIDES="$base_overrides;gdiplus=" \
    OM_EXPECT_NO_GDIPLUS=1 -- --gtest_filter='BitmapFallback.*'
  end_prefix "$prefix"

  echo "== cp1251 (Russian system code page)"
  # Wine takes the code page from the Unix locale, which must exist for
  # Unicode file names to work (Debian: locales, then localedef).
  if ! locale -a 2>/dev/null | grep -qiE '^ru_RU\.utf-?8$' && [[ $(id -u) -eq 0 ]] && command -v localedef >/dev/null; then
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 >/dev/null 2>&1
  fi
  if locale -a 2>/dev/null | grep -qiE '^ru_RU\.utf-?8$'; then
    prefix=$(new_prefix cp1251)
    run_gtest win32-cp1251 "$prefix" "$win32" LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 OM_EXPECT_ACP=1251 \
      -- --gtest_filter='GdiplusCodec.Cyrillic*:Win32Platform.NoSse*:SettingsFile.*:GdiplusCodec.FilterListsEveryDecoder'
    end_prefix "$prefix"
  else
    skipped=$((skipped + 1))
    echo "   skipped: no ru_RU.UTF-8 locale (as root: localedef -i ru_RU -f UTF-8 ru_RU.UTF-8)"
  fi
fi

abi=$build/tests/win32/i686/host_abi_tests.exe
if [[ $arch == i686 ]]; then
  echo "== abi (the 32-bit host's records and calls)"
  if [[ ! -f $abi ]]; then
    echo "   missing $abi; run scripts/wine/build-windows.sh"
    failed=$((failed + 1))
  else
    prefix=$(new_prefix abi)
    WINEPREFIX=$prefix "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$logs/wineboot.log" 2>&1
    WINEPREFIX=$prefix "$wineserver" -w
    # The program and the DLL in a host folder of their own: the settings
    # file goes beside them.
    abihost=$work/abihost
    mkdir -p "$abihost"
    cp "$abi" "$build/Ostrane_Marquel.dll" "$abihost/"
    run_gtest host_abi_tests "$prefix" "$abihost/host_abi_tests.exe"
    run_gtest host_abi_tests-sse2 "$prefix" "$abihost/host_abi_tests.exe" OSTRANE_MARQUEL_SIMD=sse2
    end_prefix "$prefix"
  fi
fi

echo "== frames (Windows build against native build)"
check_exe=$build/tests/win32/frame_check/om_frame_check.exe
native_check=$native/tests/win32/frame_check/om_frame_check
if [[ ! -f $check_exe || ! -x $native_check ]]; then
  echo "   missing $check_exe or $native_check; run scripts/wine/build-windows.sh"
  failed=$((failed + 1))
else
  "$native_check" >"$logs/frames-native.txt" 2>"$logs/frames-native.err"
  native_code=$?
  prefix=$(new_prefix frames)
  for simd in default sse2 scalar; do
    out=$logs/frames-wine-$simd.txt
    simd_env=()
    [[ $simd != default ]] && simd_env=(OSTRANE_MARQUEL_SIMD=$simd)
    (cd "$(dirname "$check_exe")" &&
      env WINEPREFIX="$prefix" WINEDLLOVERRIDES="$base_overrides" "${simd_env[@]}" \
        timeout 600 "$wine" "$check_exe") 2>"$logs/frames-wine-$simd.err" | tr -d '\r' >"$out"
    if [[ $native_code -eq 0 && -s $out ]] && cmp -s "$out" "$logs/frames-native.txt"; then
      passed=$((passed + 1))
      printf '   %-28s identical (%s)\n' "frames-$simd" "$(tail -1 "$out")"
    else
      failed=$((failed + 1))
      printf '   %-28s DIFFERENT from native, see %s\n' "frames-$simd" "$out"
      diff "$logs/frames-native.txt" "$out" | head -5 | sed 's/^/     /'
    fi
  done
  if grep -q 'stamped=0$' "$logs/frames-native.txt"; then
    echo "   note: no frame was changed; the comparison says little until logos are stamped"
  fi
  end_prefix "$prefix"
fi

echo "run-wine-tests: $passed passed, $failed failed ($skipped skipped)"
[[ $failed -eq 0 ]]
