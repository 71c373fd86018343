#!/usr/bin/env bash
# Tells whether this machine runs 32-bit code: runs the i686 build's
# om_exec_probe.exe under Wine's 32-bit loader in a throw-away win32 prefix.
# Builds nothing: run scripts/wine/build-windows.sh first.
#
#   exit 0  it ran
#   exit 3  the kernel refuses 32-bit programs (no IA-32 emulation): prints
#           "skipped: this machine cannot execute 32-bit code"
#   exit 1  anything else (Wine or the build broken): that is a failure,
#           not a reason to skip
#
# OM_NO_IA32=1 acts as such a kernel: the loader run is a copy whose ELF
# header names no processor, which the kernel refuses the same way.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=arch.sh
source "$root/scripts/wine/arch.sh"
om_wine_arch i686 || exit 1
probe=$om_build/tests/win32/i686/om_exec_probe.exe
if [[ ! -f $probe ]]; then
  echo "probe-32bit: $probe missing; run scripts/wine/build-windows.sh" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/om-probe.XXXXXX")
cleanup() {
  WINEPREFIX=$work/prefix "$om_wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

wine=$om_wine
if [[ ${OM_NO_IA32:-0} == 1 ]]; then
  cp "$wine" "$work/wine"
  printf '\0\0' | dd of="$work/wine" bs=1 seek=18 conv=notrunc status=none  # e_machine: EM_NONE
  wine=$work/wine
fi

# The kernel first: bash execs the loader itself and reports ENOEXEC as
# status 126 (through execvp, as timeout runs programs, the file would be
# handed to /bin/sh instead).
version=$("$wine" --version 2>&1)
code=$?
if [[ $code -eq 126 && $version == *"Exec format error"* ]]; then
  echo "skipped: this machine cannot execute 32-bit code"
  exit 3
fi
out=$(WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  timeout 300 "$wine" "$probe" 2>&1)
code=$?
if [[ $code -eq 0 ]] && grep -q '^exec-probe: 32-bit code runs' <<<"$out"; then
  echo "probe-32bit: 32-bit code runs ($version, $wine)"
  exit 0
fi
echo "probe-32bit: $probe failed under $wine (status $code):" >&2
tail -20 <<<"$out" >&2
exit 1
