#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time.
#
#   scripts/run-fuzzers.sh             10 seconds per target: the test command's short run
#   scripts/run-fuzzers.sh 600         a longer run, ten minutes per target
#   scripts/run-fuzzers.sh 60 fuzz_start fuzz_descriptor   only these targets
#
# Each target starts from its committed seeds in fuzz/corpus/<target> and
# keeps what it finds in build/fuzz/corpus/<target>, so later runs go on
# from there; the committed seeds are never changed. An input that breaks a
# target is saved in build/fuzz/artifacts/<target>/ and fails the script;
# replay it with build/fuzz/bin/<target> <file>. clang comes from
# scripts/install-deps.sh --all.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
shift || true
all_targets=(fuzz_prefs fuzz_autoflats_prefs fuzz_autoflats_descriptor fuzz_handle_block fuzz_descriptor fuzz_start fuzz_image_load fuzz_api_autoflat fuzz_api_remelt)
if (($#)); then targets=("$@"); else targets=("${all_targets[@]}"); fi
build=build/fuzz

cxx=$(command -v clang++-14 || command -v clang++ || true)
cc=$(command -v clang-14 || command -v clang || true)
if [[ -z "$cxx" || -z "$cc" ]]; then
    echo "clang is missing: run scripts/install-deps.sh --all" >&2
    exit 1
fi

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$build" -j"${VANDREL_JOBS:-2}" --target "${targets[@]}"

failed=()
printf '\n%-20s %12s %8s %8s %s\n' target executions cov ft result
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    log=$build/logs/$target.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    status=0
    # Every input gets at most 10 s and 2 GB: a hang or a runaway
    # allocation is a finding like any crash.
    "$build/bin/$target" "$corpus" "fuzz/corpus/$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
    executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    last=$(grep -E '^#[0-9]+' "$log" | tail -n1 || true)
    cov=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*$' || echo '?')
    ft=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*$' || echo '?')
    result=ok
    if ((status != 0)); then
        result="FAILED (see $log)"
        failed+=("$target")
    fi
    printf '%-20s %12s %8s %8s %s\n' "$target" "$executions" "$cov" "$ft" "$result"
    if ((status != 0)); then
        # Where the log is gone with the machine (a CI run), what it said,
        # the input's bytes included, is all there is to reproduce it with.
        grep -v -E '^#[0-9]+' "$log" | tail -n 40 | sed 's/^/    /' >&2
    fi
done

if ((${#failed[@]})); then
    echo "Fuzz targets that found a fault: ${failed[*]}" >&2
    exit 1
fi
