#!/usr/bin/env bash
# Static checks of the cross-built plug-in DLLs (this machine cannot run
# 32-bit code): exactly the three undecorated exports, imports from system
# DLLs only (no MinGW runtime DLLs, GDI+ loaded at run time), and on i686 no
# SSE or AVX instruction outside the *_sse2 / *_avx2 kernel files.
#
#   scripts/wine/check-dll.sh            # build/mingw-i686 and, if built, build/mingw-x64
#
# Prints "check-dll: N passed, N failed" and exits nonzero on any failure.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
i686_build=${OM_I686_BUILD:-$root/build/mingw-i686}
x64_build=${OM_X64_BUILD:-$root/build/mingw-x64}

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "  ok    $*"; }
fail() { failed=$((failed + 1)); echo "  FAIL  $*"; }

expected_exports=$'Tulvane_Plugin_PR\nTulvane_Plugin_SetTickSource\nTulvane_Plugin_Version'
# Lower-case names of the DLLs the plug-in may import: all ship with Windows.
allowed_imports='kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll msvcrt.dll comdlg32.dll comctl32.dll ole32.dll'

check_dll() {
  local objdump=$1 dll=$2 format=$3
  echo "$dll"
  if [[ ! -f $dll ]]; then
    fail "missing (run scripts/wine/build-windows.sh)"
    return
  fi
  local header
  header=$("$objdump" -p "$dll")
  if grep -q "file format $format" <<<"$header"; then pass "format $format"; else fail "not $format"; fi

  # The names in the export table, in its own (sorted) order.
  local exports
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^[ \t]*\[/ {print $NF; next} t {exit}' <<<"$header")
  if [[ $exports == "$expected_exports" ]]; then
    pass "exports exactly: $(tr '\n' ' ' <<<"$exports")"
  else
    fail "exports are: $(tr '\n' ' ' <<<"$exports")"
  fi

  local imports bad=""
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$header" | sort -u)
  for name in $imports; do
    [[ " $allowed_imports " == *" $name "* ]] || bad+="$name "
  done
  if [[ -z $bad ]]; then pass "system imports only: $(tr '\n' ' ' <<<"$imports")"; else fail "non-system imports: $bad"; fi
  if grep -qi 'gdiplus' <<<"$imports"; then fail "gdiplus.dll is imported (must be loaded on first use)"; fi
}

# Functions using xmm/ymm registers must all come from the kernel files:
# general code runs on processors without SSE2.
check_no_simd_outside_kernels() {
  local build=$1
  local dll=$build/Ostrane_Marquel.dll
  [[ -f $dll ]] || return
  local kernel_symbols
  kernel_symbols=$(find "$build/CMakeFiles/om_core.dir" -name '*_sse2.cpp.obj' -o -name '*_avx2.cpp.obj' |
    xargs -r i686-w64-mingw32-nm --defined-only | awk '$2 ~ /[Tt]/ {print $3}' | sort -u)
  local simd_functions
  simd_functions=$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll" |
    awk '/^[0-9a-f]+ <.*>:$/ {fn=substr($2, 2, length($2) - 3)} /%[xy]mm[0-9]|mxcsr/ {print fn}' | sort -u)
  local strays
  strays=$(comm -23 <(printf '%s\n' "$simd_functions" | grep -v '^$') <(printf '%s\n' "$kernel_symbols"))
  if [[ -z $strays ]]; then
    pass "i686: SSE/AVX only in kernel files ($(grep -c . <<<"$simd_functions") kernel functions)"
  else
    fail "i686: SSE/AVX outside kernel files: $(tr '\n' ' ' <<<"$strays")"
  fi
  # The same for every general object, before linking: the compiler flags.
  local general_simd=""
  while IFS= read -r obj; do
    if i686-w64-mingw32-objdump -d --no-show-raw-insn "$obj" | grep -qE '%[xy]mm[0-9]|mxcsr'; then
      general_simd+="$(basename "$obj") "
    fi
  done < <(find "$build/CMakeFiles/om_core.dir" "$build/CMakeFiles/Ostrane_Marquel.dir" -name '*.obj' \
             ! -name '*_sse2.cpp.obj' ! -name '*_avx2.cpp.obj')
  if [[ -z $general_simd ]]; then pass "i686: general objects free of SSE"; else fail "i686: SSE in $general_simd"; fi
}

check_dll i686-w64-mingw32-objdump "$i686_build/Ostrane_Marquel.dll" pei-i386
check_no_simd_outside_kernels "$i686_build"
if [[ -f $x64_build/Ostrane_Marquel.dll ]]; then
  check_dll x86_64-w64-mingw32-objdump "$x64_build/Ostrane_Marquel.dll" pei-x86-64
fi

echo "check-dll: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
