#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer, UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each over its seed corpus in fuzz/corpus/NAME: first every seed on its
# own, so that a failing seed is named, then fuzzing from the seeds for a bounded time with a
# fixed seed. Two harnesses run at a time on a machine with two cores or more.
# Exits non-zero on any crash, hang over 1 s, leak in our code or sanitizer report, saying which
# harness and which input; a found input is kept under build-fuzz/fuzz-artifacts/NAME/.
# Usage: scripts/fuzz.sh [SECONDS_PER_HARNESS [HARNESS...]]   (default: 60, every harness)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("$@")
((${#harnesses[@]})) || harnesses=(panel options fmt printable recording looks settings)
build=build-fuzz

targets=()
for h in "${harnesses[@]}"; do targets+=("${h}_fuzzer"); done
echo "Building the fuzzers in $build with clang"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELMOR_FUZZ=ON \
    -DBUILD_TESTING=OFF -DZELMOR_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0
logs=$build/fuzz-logs
rm -rf "$logs" "$build/fuzz-work" "$build/fuzz-artifacts" "$build/fuzz-tmp"
mkdir -p "$logs" "$build/fuzz-tmp"
export TMPDIR=$PWD/$build/fuzz-tmp

# One harness: its seeds one by one, then fuzzing. Writes NAME.log, and NAME.fail when it fails.
run() {
    local name=$1 bin=$build/fuzz/${1}_fuzzer log=$logs/$1.log
    local seeds=fuzz/corpus/$name work=$build/fuzz-work/$name found=$build/fuzz-artifacts/$name
    mkdir -p "$work" "$found"
    local common=(-timeout=1 -rss_limit_mb=2048 -artifact_prefix="$found/")
    if ! "$bin" "${common[@]}" "$seeds"/* >"$log" 2>&1; then
        # The run stops at the first failing seed; each seed on its own names them all.
        local seed failing=()
        for seed in "$seeds"/*; do
            "$bin" "${common[@]}" "$seed" >>"$log.each" 2>&1 || failing+=("${seed##*/}")
        done
        echo "$name: seeds that fail: ${failing[*]} (in $seeds)" >"$logs/$name.fail"
        return
    fi
    # Standard error closed while fuzzing: a refused panel's line per input would bury the
    # report, which libFuzzer and the sanitizers still write.
    if ! "$bin" "${common[@]}" -seed=1 -max_total_time="$seconds" -close_fd_mask=2 \
        -print_final_stats=1 "$work" "$seeds" >>"$log" 2>&1; then
        local input
        input=$(find "$found" -type f | head -n 1)
        echo "$name: fuzzing found a failing input, kept as $input" >"$logs/$name.fail"
        return
    fi
    local done
    done=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1) || true
    echo "$name: ${done:-no summary}; $(find "$work" -type f | wc -l) inputs kept in $work" \
        >"$logs/$name.ok"
}

jobs=$(($(nproc) < 2 ? 1 : 2))
echo "Fuzzing ${harnesses[*]} for ${seconds} s each, $jobs at a time"
for h in "${harnesses[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
    run "$h" &
done
wait

failed=0
for h in "${harnesses[@]}"; do
    if [ -f "$logs/$h.fail" ]; then
        failed=1
        echo "FAIL $(cat "$logs/$h.fail")"
        grep -E -A12 '^(==[0-9]+==ERROR|ALARM|.*runtime error|SUMMARY|.*lets an unsafe|Fmt:|Printable|argument)' \
            "$logs/$h.log" | head -n 40 || tail -n 30 "$logs/$h.log"
        echo "  (whole log: $logs/$h.log)"
    elif [ -f "$logs/$h.ok" ]; then
        echo "ok   $(cat "$logs/$h.ok")"
    else
        failed=1
        echo "FAIL $h: the run ended without a verdict (log: $logs/$h.log)"
    fi
done
exit "$failed"
