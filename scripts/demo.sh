#!/usr/bin/env bash
# The main job: builds the plug-in and the host stand-in, then renders the
# embedded default video, in TV range, through the plug-in with three
# channels and their logos. Output folder: $1, default out/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-out/demo}"
scripts/install-deps.sh native
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target om_host Ostrane_Marquel
mkdir -p "$out"
build/default/tools/host/om_host --demo "$out"
