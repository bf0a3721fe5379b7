#!/usr/bin/env bash
# The sanitizer stages of the test command: every test suite under
# AddressSanitizer with UndefinedBehaviorSanitizer (LeakSanitizer included,
# which checks at the end of each test that nothing was left allocated),
# then the threaded tests under ThreadSanitizer. Each stage configures and
# builds its own preset first. The runtime options and the (empty)
# suppression lists sit in tests/support/SanitizerDefaults.cpp.
#
#   scripts/run-sanitizers.sh            both stages
#   scripts/run-sanitizers.sh asan       only one: asan or tsan
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${VANDREL_JOBS:-$(nproc)}
if (($#)); then stages=("$@"); else stages=(asan tsan); fi

run_stage() {
    local preset=$1 title=$2 start=$SECONDS
    printf '\n==== %s ====\n' "$title"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    local built=$SECONDS
    ctest --preset "$preset"
    printf '%s: build %d s, tests %d s\n' "$title" $((built - start)) $((SECONDS - built))
}

for stage in "${stages[@]}"; do
    case $stage in
        asan) run_stage linux-asan "AddressSanitizer + UndefinedBehaviorSanitizer (all tests)" ;;
        tsan) run_stage linux-tsan "ThreadSanitizer (threaded tests)" ;;
        *) echo "unknown stage: $stage (asan or tsan)" >&2; exit 2 ;;
    esac
done
