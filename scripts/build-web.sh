#!/usr/bin/env bash
# Builds the web page into build/web/: the engine as WebAssembly with the
# wasm preset (Debian's emscripten and its prebuilt system libraries;
# nothing is fetched), then the page's scripts with esbuild.
#   scripts/build-web.sh           build what changed
#   scripts/build-web.sh --offline build the engine from scratch with no
#                                  network at all, to show none is needed
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/web-packages.sh
web_packages

if [[ "${1:-}" == "--offline" ]]; then
    rm -rf build/wasm
    unshare --net cmake --preset wasm >/dev/null
    unshare --net cmake --build --preset wasm
else
    [[ -f build/wasm/build.ninja ]] || cmake --preset wasm >/dev/null
    cmake --build --preset wasm
fi
node web/tools/build.mjs >/dev/null
