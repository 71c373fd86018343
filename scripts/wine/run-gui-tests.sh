#!/usr/bin/env bash
# Runs the GUI tests of the Windows build under Wine on a private X server
# (Xvfb): the settings dialog as a real window (tests/win32_gui) and, when
# om_host.exe was built, the live host window with its video thread.
# Builds nothing: run scripts/wine/build-windows.sh first.
#
#   scripts/wine/run-gui-tests.sh [--arch x64|i686] [--docs]
#
# --arch  x64 (the default) or i686, the shipping build under the 32-bit
#         loader in a win32 prefix (see arch.sh).
# --docs  also copies the screenshots into docs/ (settings-dialog.png,
#         host-window.png).
# Needs the Debian packages wine64 (wine32:i386 for i686), xvfb, xauth,
# fonts-wine and imagemagick. Screenshots and logs stay in $OM_GUI_LOGS
# (default build/gui-logs, build/gui-logs-i686). Ends with
# "run-gui-tests: N passed, N failed" and a nonzero status on failure;
# exit status 2 when a tool or the build is missing.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
arch=x64
docs=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --arch) arch=${2:-}; shift 2 ;;
    --docs) docs=1; shift ;;
    *) echo "usage: $0 [--arch x64|i686] [--docs]" >&2; exit 2 ;;
  esac
done
# shellcheck source=arch.sh
source "$root/scripts/wine/arch.sh"
om_wine_arch "$arch" || exit 2
build=$om_build wine=$om_wine wineserver=$om_wineserver
default_logs=$root/build/gui-logs
[[ $arch == x64 ]] || default_logs+=-$arch
logs=${OM_GUI_LOGS:-$default_logs}

for tool in "$(command -v Xvfb)" "$(command -v convert)"; do
  if [[ -z $tool ]]; then
    echo "run-gui-tests: needs xvfb and imagemagick (Debian packages)" >&2
    exit 2
  fi
done
gui_exe=$build/tests/win32_gui_tests.exe
dll=$build/Ostrane_Marquel.dll
if [[ ! -f $gui_exe || ! -f $dll ]]; then
  echo "run-gui-tests: $gui_exe or $dll missing; run scripts/wine/build-windows.sh" >&2
  exit 2
fi
host_exe=$build/tools/host/om_host.exe

work=$(mktemp -d "${TMPDIR:-/tmp}/om-gui.XXXXXX")
rm -rf "$logs"
mkdir -p "$logs"
xvfb_pid=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
display=
for n in $(seq 90 130); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=:$n; break; fi
done
[[ -n $display ]] || { echo "run-gui-tests: no free X display" >&2; exit 2; }
Xvfb "$display" -screen 0 1600x900x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

passed=0
failed=0

echo "== making the Wine prefix ($WINEARCH)"
start=$SECONDS
if ! om_make_prefix "$WINEPREFIX" "$logs/wineboot.log"; then
  echo "run-gui-tests: wineboot failed, see $logs/wineboot.log" >&2
  exit 2
fi
# Marlett (the glyph buttons) and Tahoma: without them the arrows show as digits.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
# Captions and frames drawn by Wine itself: there is no window manager.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >>"$logs/wineboot.log" 2>&1
"$wineserver" -w
echo "   ($((SECONDS - start)) s)"

# The program and the DLL in one folder: the settings file goes beside them.
hostdir=$work/host
mkdir -p "$hostdir"
cp "$gui_exe" "$dll" "$hostdir/"
winpath() { echo "Z:${1//\//\\}"; }

echo "== settings window"
log=$logs/win32_gui_tests.log
(cd "$hostdir" && OM_GUI_TESTS=1 OM_GUI_SHOTS=$(winpath "$logs") \
  timeout 240 "$wine" "$hostdir/win32_gui_tests.exe") >"$log" 2>&1
code=$?
p=$(grep -aE '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | awk '{print $4}')
f=$(grep -aE '^\[  FAILED  \] [0-9]+ test' "$log" | tail -1 | awk '{print $4}')
p=${p:-0} f=${f:-0}
if [[ $code -ne 0 && $f -eq 0 ]]; then
  f=1
  echo "   exit status $code, see $log"
fi
passed=$((passed + p)) failed=$((failed + f))
printf '   %-28s %3d passed, %d failed\n' win32_gui_tests "$p" "$f"
[[ $f -eq 0 ]] || grep -aE '^\[  FAILED  \] [A-Za-z].* \([0-9]+ ms\)$' "$log" | sed 's/^/     /'
if [[ -f $logs/settings-dialog.bmp ]]; then
  convert "$logs/settings-dialog.bmp" "$logs/settings-dialog.png" && rm -f "$logs/settings-dialog.bmp"
fi

# The same edits under a host that leaves the FPU hostile on both threads
# (x87 at 24-bit precision rounding toward zero on i686, SSE flushing and
# rounding toward zero, invalid and zero-divide unmasked) must give the
# frames, hold steps and saved record of the well-behaved run above.
echo "== hostile host FPU"
plain=$(grep -a '^fpu-scenario:' "$log" | tr -d '\r' | tail -1)
hlog=$logs/win32_gui_tests-hostile.log
(cd "$hostdir" && OM_GUI_TESTS=1 OM_HOSTILE_FPU=1 \
  timeout 240 "$wine" "$hostdir/win32_gui_tests.exe" --gtest_filter='*HostFpu*') >"$hlog" 2>&1
code=$?
hostile=$(grep -a '^fpu-scenario:' "$hlog" | tr -d '\r' | tail -1)
if [[ $code -eq 0 && -n $plain && $plain == "$hostile" ]]; then
  passed=$((passed + 1))
  printf '   %-28s same frames, steps and record\n' hostile-fpu
  echo "$plain" >"$logs/fpu-scenario.txt"
else
  failed=$((failed + 1))
  printf '   %-28s FAILED (status %d), see %s\n' hostile-fpu "$code" "$hlog"
  printf '     plain:   %s\n     hostile: %s\n' "${plain:-none}" "${hostile:-none}"
fi

if [[ -f $host_exe ]] && grep -aq -- '--window-test' "$host_exe"; then
  echo "== live host window"
  cp "$host_exe" "$hostdir/"
  live=$logs/host-window
  mkdir -p "$live"
  (cd "$hostdir" && OM_GUI_TESTS=1 timeout 120 "$wine" "$hostdir/om_host.exe" --window \
    --window-test "$(winpath "$live")") >"$logs/host-window.log" 2>&1
  code=$?
  if [[ $code -eq 0 ]] && grep -q '^window-test: ok' "$logs/host-window.log"; then
    passed=$((passed + 1))
    printf '   %-28s %s\n' host-window "$(grep '^window-test: ok' "$logs/host-window.log" | tr -d '\r')"
  else
    failed=$((failed + 1))
    printf '   %-28s FAILED (status %d), see %s\n' host-window "$code" "$logs/host-window.log"
  fi
  [[ -f $live/host-window.bmp ]] && convert "$live/host-window.bmp" "$logs/host-window.png"
fi

if [[ $docs -eq 1 ]]; then
  mkdir -p "$root/docs"
  for shot in settings-dialog host-window; do
    [[ -f $logs/$shot.png ]] && cp "$logs/$shot.png" "$root/docs/$shot.png"
  done
fi

echo "run-gui-tests: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
