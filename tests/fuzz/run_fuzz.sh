#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time from the seed corpus, and fails on any crash, leak, timeout,
# sanitizer report or broken property. New inputs go to WORK_DIR/corpus, failing ones to WORK_DIR/artifacts.
#
#   run_fuzz.sh FUZZ_BINARY SEED_DIR WORK_DIR SECONDS
set -uo pipefail

binary=$1
seeds=$2
work=$3
seconds=$4
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/fuzz.log"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

status=0
"$binary" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=2048 -timeout=10 -detect_leaks=1 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?

if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|property violated' "$log"; then
    echo "FAIL: $(basename "$binary") (status $status); the end of its output:"
    tail -n 60 "$log"
    echo "Inputs that failed: $(ls "$work/artifacts" 2>/dev/null | tr '\n' ' ')"
    exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1)
echo "ok: $(basename "$binary"): ${runs:-?} runs in ${seconds} s, ${cov:-cov: ?}, corpus $(ls "$work/corpus" | wc -l) files"
