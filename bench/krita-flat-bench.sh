#!/usr/bin/env bash
# Flat lines in Krita against `vandrel flat` on the same page, in one run:
#   bench/krita-flat-bench.sh [WIDTH HEIGHT]      (default 6000 x 6000, 36 MP)
# Prints the tool's own figures (read, flat, write) and the plug-in's steps
# inside Krita (kritarunner, no screen): reading the layer, the library's
# flat, the new layer, the redraw.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
width=${1:-6000}
height=${2:-6000}
work=$root/build/krita-bench
mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"
[[ -f build/linux/build.ninja ]] || cmake --preset linux >/dev/null
cmake --build --preset linux --target vandrel vandrel_api >/dev/null
scripts/make-krita-plugin.sh --stage "$work/stage"
python3 tests/krita/krita_pages.py --big "$work/page.png" "$width" "$height"

echo "== vandrel flat"
build/linux/bin/vandrel flat --overwrite -o "$work/flat.png" "$work/page.png" 2>&1 | grep flatted
echo "== Flat lines in Krita"
env HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
    XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/home/runtime" QT_QPA_PLATFORM=offscreen \
    PYTHONPATH="$root/bench:$work/stage" VANDREL_BENCH_PAGE="$work/page.png" \
    timeout 900 kritarunner -s krita_flat_bench -f main 2>&1 | sed -n 's/^krita-bench: //p'
