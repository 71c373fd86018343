#!/usr/bin/env bash
# The line every speed figure is given with: the processor, its family and
# model, and its cache sizes (some virtual machines report none).
set -uo pipefail
field() { sed -n "s/^$1[[:space:]]*: //p" /proc/cpuinfo | head -1; }
caches=$(lscpu 2>/dev/null | sed -n 's/^\(L[123][di]\? cache\):[[:space:]]*/\1 /p' | paste -sd, -)
echo "processor: $(field 'model name'), family $(field 'cpu family') model $(field model); caches: ${caches:-not reported}"
