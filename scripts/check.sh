#!/usr/bin/env bash
# The quick check, for every change and first in the full run: formatting
# and lint, the native build (the linux preset, which the full run's later
# stages go on to use), every native test suite, and the web page's unit
# tests under Node.js. scripts/test-all.sh runs everything else.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
stage() { printf '\n== %s (at %d s)\n' "$*" $((SECONDS - started)); }

stage "formatting and lint"
scripts/check-format.sh

stage "native build"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)"

stage "native tests"
ctest --preset linux

stage "web page: unit tests"
source scripts/lib/web-packages.sh
source scripts/lib/web-tests.sh
web_packages
mapfile -t unit < <(web_tests unit)
(cd web && node --test "${unit[@]}")

printf '\ncheck: done in %d s\n' $((SECONDS - started))
