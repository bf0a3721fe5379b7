#!/usr/bin/env bash
# Everything, as CI runs it: installs every dependency, builds every target
# (native, sanitizers, both Windows plug-ins) and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
stage() { printf '\n==== %s ====\n' "$*"; }
started=$SECONDS

stage "dependencies"
scripts/install-deps.sh --all

# First, so that the native suite's checks of the .8bf files find them.
stage "Windows plug-ins, wine scenarios and dist/"
scripts/run-windows-tests.sh

stage "native build and tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
ctest --preset linux

for script in scripts/run-sanitizers.sh scripts/run-fuzzers.sh; do
    if [[ -x "$script" ]]; then
        stage "$script"
        "$script"
    fi
done

stage "all done in $((SECONDS - started)) s"
