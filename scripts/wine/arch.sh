# Sourced by the Wine scripts: om_wine_arch x64|i686 chooses the build,
# Wine's loader and the kind of prefix.
#   x64   build/mingw-x64,  /usr/lib/wine/wine64, win64 prefix
#   i686  build/mingw-i686, /usr/lib/wine/wine,   win32 prefix (Debian: wine32:i386)
# Sets om_arch, om_build (OM_WINE_BUILD overrides it), om_wine, om_wineserver
# and exports WINEARCH. Returns 2 for an unknown name or a missing Wine.
om_wine_arch() {
  om_arch=$1
  case $om_arch in
    x64)
      om_build=${OM_WINE_BUILD:-$root/build/mingw-x64}
      om_wine=/usr/lib/wine/wine64
      [[ -x $om_wine ]] || om_wine=$(command -v wine64 || true)
      export WINEARCH=win64
      ;;
    i686)
      om_build=${OM_WINE_BUILD:-$root/build/mingw-i686}
      # Only this path is surely the 32-bit loader: /usr/bin/wine picks one.
      om_wine=${OM_WINE32:-/usr/lib/wine/wine}
      [[ -x $om_wine ]] || om_wine=
      export WINEARCH=win32
      ;;
    *)
      echo "unknown --arch '$om_arch' (x64 or i686)" >&2
      return 2
      ;;
  esac
  # Serves 32-bit and 64-bit clients alike.
  om_wineserver=/usr/lib/wine/wineserver
  [[ -x $om_wineserver ]] || om_wineserver=$(command -v wineserver || true)
  if [[ -z $om_wine || -z $om_wineserver ]]; then
    echo "no Wine loader for $om_arch (Debian packages wine64, wine32:i386: scripts/install-deps.sh windows)" >&2
    return 2
  fi
}

# Makes the Wine prefix PREFIX with wineboot, up to three tries, each from
# nothing: now and then a new prefix's first process cannot load kernel32.dll
# (status c0000135) and the next try goes through. Every try's output goes
# to LOG. Extra arguments are VAR=value settings for wineboot.
#   om_make_prefix PREFIX LOG [VAR=value ...]
om_make_prefix() {
  local prefix=$1 log=$2 try
  shift 2
  : >"$log"
  for try in 1 2 3; do
    rm -rf "$prefix"
    echo "== wineboot, try $try" >>"$log"
    if env WINEPREFIX="$prefix" "$@" timeout 300 "$om_wine" wineboot -i >>"$log" 2>&1; then
      WINEPREFIX=$prefix "$om_wineserver" -w
      return 0
    fi
    WINEPREFIX=$prefix "$om_wineserver" -k 2>/dev/null
    WINEPREFIX=$prefix "$om_wineserver" -w 2>/dev/null
  done
  return 1
}
