#!/usr/bin/env bash
# Static checks of the cross-built plug-in DLLs: exactly the three
# undecorated exports, imports from system DLLs only (no MinGW runtime DLLs,
# GDI+ loaded at run time), a version resource, and on i686, the shipping
# DLL: stripped (its symbols in Ostrane_Marquel.dll.debug) and no SSE or AVX
# instruction outside the *_sse2 / *_avx2 kernel files.
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

expected_exports=$'Tulvane_Plugin_PR\nTulvane_Plugin_PictureCacheBytes\nTulvane_Plugin_SetTickSource\nTulvane_Plugin_Version'
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

# The descriptor's text, which the version resource repeats.
description='Установка собственного логотипа'

# A string as windres prints it (L"\x0423..." or plain) back to UTF-8.
from_windres() {
  local s=$1 utf16=""
  while [[ -n $s ]]; do
    if [[ $s =~ ^\\x([0-9a-fA-F]{4}) ]]; then
      utf16+="\\x${BASH_REMATCH[1]:0:2}\\x${BASH_REMATCH[1]:2:2}"
      s=${s:6}
    else
      utf16+="\\x00$(printf '\\x%02x' "'${s:0:1}")"
      s=${s:1}
    fi
  done
  printf "$utf16" | iconv -f UTF-16BE -t UTF-8
}

check_version_resource() {
  local windres=$1 dll=$2 rc
  [[ -f $dll ]] || return
  rc=$("$windres" -i "$dll" -O rc 2>&1 | tr -d '\r')
  if ! grep -q ' VERSIONINFO$' <<<"$rc"; then
    fail "no VERSIONINFO resource"
    return
  fi
  value() { sed -nE "s/^ *VALUE \"$1\", L?\"(.*)\"$/\1/p" <<<"$rc" | head -1; }
  local version fixed product text
  version=$(value FileVersion)
  fixed=$(sed -nE 's/^ *FILEVERSION (.*)$/\1/p' <<<"$rc")
  product=$(value ProductName)
  text=$(from_windres "$(value FileDescription)")
  if grep -q 'BLOCK "041904E3"' <<<"$rc" && grep -qE 'VALUE "Translation", 0x419, 1251' <<<"$rc"; then
    pass "version strings Russian, Windows-1251"
  else
    fail "no StringFileInfo block 041904E3 with Translation 0x419, 1251"
  fi
  if [[ $product == Ostrane_Marquel ]]; then pass "ProductName $product"; else fail "ProductName '$product'"; fi
  # "1.03" is FILEVERSION 1, 3, 0, 0 and what the about box shows.
  local expected_fixed=""
  [[ $version =~ ^([0-9]+)\.([0-9]+)$ ]] &&
    expected_fixed="${BASH_REMATCH[1]}, $((10#${BASH_REMATCH[2]})), 0, 0"
  if [[ -n $expected_fixed && $fixed == "$expected_fixed" ]] && grep -qF "\"Ver.$version\"" <<<"$rc"; then
    pass "FileVersion $version, FILEVERSION $fixed, as the about box"
  else
    fail "FileVersion '$version', FILEVERSION '$fixed', about box: $(grep -o '"Ver[^"]*"' <<<"$rc")"
  fi
  # The descriptor's Windows-1251 bytes are in the DLL, and the resource says the same.
  if [[ $text == "$description" ]] &&
      LC_ALL=C grep -qaF "$(printf '%s' "$description" | iconv -f UTF-8 -t CP1251)" "$dll"; then
    pass "FileDescription is the descriptor's text"
  else
    fail "FileDescription '$text', not the descriptor's '$description'"
  fi
}

# The shipping DLL carries neither DWARF nor a symbol table.
check_stripped() {
  local dll=$1
  [[ -f $dll ]] || return
  local sections
  sections=$(i686-w64-mingw32-objdump -h "$dll" | awk '$2 ~ /^\.(debug|zdebug|stab)/ {print $2}')
  if [[ -z $sections && $(i686-w64-mingw32-objdump -t "$dll") == *"no symbols"* ]]; then
    pass "i686: stripped ($(stat -c %s "$dll") bytes)"
  else
    fail "i686: not stripped: $(tr '\n' ' ' <<<"$sections")"
  fi
  if [[ $'\n'$(i686-w64-mingw32-nm "$dll.debug" 2>/dev/null)$'\n' == *" T _Tulvane_Plugin_PR"$'\n'* ]]; then
    pass "i686: symbols kept in $(basename "$dll").debug"
  else
    fail "i686: no symbols in $dll.debug"
  fi
}

# Functions using xmm/ymm registers must all come from the kernel files:
# general code runs on processors without SSE2.
check_no_simd_outside_kernels() {
  local build=$1
  local dll=$build/Ostrane_Marquel.dll
  [[ -f $dll ]] || return
  local kernel_symbols
  # The plug-in's own libraries: common helpers, the platform and settings, the rest.
  local libraries=("$build/CMakeFiles/om_common.dir" "$build/CMakeFiles/om_settings.dir"
                   "$build/CMakeFiles/om_core.dir")
  kernel_symbols=$(find "${libraries[@]}" \( -name '*_sse2.cpp.obj' -o -name '*_avx2.cpp.obj' \) |
    xargs -r i686-w64-mingw32-nm --defined-only | awk '$2 ~ /[Tt]/ {print $3}' | sort -u)
  # The DLL is stripped: each instruction's function is the nearest symbol
  # at or below it in the .debug file (addresses compare as 8 hex digits).
  local simd_functions
  simd_functions=$({
    i686-w64-mingw32-nm --defined-only "$dll.debug" | awk '$2 ~ /^[Tt]$/ {print $1, 0, $3}'
    i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll" |
      awk '/%[xy]mm[0-9]|mxcsr/ {a = $1; sub(":", "", a); print a, 1}'
  } | LC_ALL=C sort -k1,1 -k2,2 | awk '$2 == 0 {fn = $3; next} {print fn}' | sort -u)
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
    # grep -c reads to the end: with -q, objdump's SIGPIPE would fail the
    # pipeline and hide the find.
    if (($(i686-w64-mingw32-objdump -d --no-show-raw-insn "$obj" | grep -cE '%[xy]mm[0-9]|mxcsr') > 0)); then
      general_simd+="$(basename "$obj") "
    fi
  done < <(find "${libraries[@]}" "$build/CMakeFiles/Ostrane_Marquel.dir" -name '*.obj' \
             ! -name '*_sse2.cpp.obj' ! -name '*_avx2.cpp.obj')
  if [[ -z $general_simd ]]; then pass "i686: general objects free of SSE"; else fail "i686: SSE in $general_simd"; fi
}

check_dll i686-w64-mingw32-objdump "$i686_build/Ostrane_Marquel.dll" pei-i386
check_version_resource i686-w64-mingw32-windres "$i686_build/Ostrane_Marquel.dll"
check_stripped "$i686_build/Ostrane_Marquel.dll"
check_no_simd_outside_kernels "$i686_build"
if [[ -f $x64_build/Ostrane_Marquel.dll ]]; then
  check_dll x86_64-w64-mingw32-objdump "$x64_build/Ostrane_Marquel.dll" pei-x86-64
  check_version_resource x86_64-w64-mingw32-windres "$x64_build/Ostrane_Marquel.dll"
fi

echo "check-dll: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
