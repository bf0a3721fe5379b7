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

# run_stage PRESET TITLE TARGETS CTEST_ARGS...: TARGETS is "all" or the
# targets the preset's tests need.
run_stage() {
    local preset=$1 title=$2 targets=$3 start=$SECONDS
    shift 3
    printf '\n==== %s ====\n' "$title"
    cmake --preset "$preset" >/dev/null
    # shellcheck disable=SC2086  # one word per target
    cmake --build --preset "$preset" -j"$jobs" --target $targets
    local built=$SECONDS
    ctest --preset "$preset" "$@"
    printf '%s: build %d s, tests %d s\n' "$title" $((built - start)) $((SECONDS - built))
}

for stage in "${stages[@]}"; do
    case $stage in
        # The layer probes and the configure check compile and configure
        # exactly as in the native suite, whatever the preset: they run there.
        asan) run_stage linux-asan "AddressSanitizer + UndefinedBehaviorSanitizer (all tests)" all \
                  -LE '^(layers|configure)$' ;;
        # Its tests are the engine's and the host's (the preset's filter):
        # their programs and the two plug-in modules they load, not the
        # whole tree.
        tsan) run_stage linux-tsan "ThreadSanitizer (threaded tests)" \
                  "test_engine test_host vandrel_plugin vandrel_autoflats_plugin" ;;
        *) echo "unknown stage: $stage (asan or tsan)" >&2; exit 2 ;;
    esac
done
