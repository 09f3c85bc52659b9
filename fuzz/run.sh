#!/usr/bin/env bash
# Runs each fuzz target for a bounded time over its kept corpus.
#   fuzz/run.sh BUILD SECONDS         the test command's short run
#   fuzz/run.sh BUILD SECONDS merge   then folds what it found into fuzz/corpus/
# New inputs go to BUILD/fuzz-found/<target>, never straight into the kept
# corpus; a crash, a broken promise or an input that takes over 10 s is saved
# as BUILD/fuzz-<target>-crash-* (or -timeout-*) and fails the run.
set -uo pipefail
build=${1:?usage: fuzz/run.sh BUILD SECONDS [merge]}
seconds=${2:?usage: fuzz/run.sh BUILD SECONDS [merge]}
mode=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
targets=(pagenames measure pictureheader nativename decodejpeg decodeheif probeclip)

passed=0
failed=0
for target in "${targets[@]}"; do
    binary="$build/fuzz_$target"
    kept="$root/fuzz/corpus/$target"
    found="$build/fuzz-found/$target"
    log="$build/fuzz-$target.log"
    mkdir -p "$found"
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-$target-" "$found" "$kept" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz_$target: ${runs:-?} inputs in ${seconds}s, no fault (corpus $(ls "$kept" | wc -l) kept + $(ls "$found" | wc -l) new)"
        passed=$((passed + 1))
    else
        echo "fuzz_$target: FAILED; the end of $log:"
        tail -n 40 "$log"
        failed=$((failed + 1))
    fi
    if [ "$mode" = merge ]; then
        # Keeps only inputs that add coverage: the corpus stays small.
        "$binary" -merge=1 "$kept" "$found" >"$build/fuzz-$target-merge.log" 2>&1
        echo "fuzz_$target: kept corpus now $(ls "$kept" | wc -l) files, $(cat "$kept"/* | wc -c) bytes"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
