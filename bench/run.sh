#!/usr/bin/env bash
# Times `vimbrel --generate` against decoding every picture in full, and
# measures the command line's peak memory over many small pictures.
#   bench/run.sh [BUILD] [COUNT] [WIDTH] [HEIGHT] [SMALL_COUNT]
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
count=${2:-200}
width=${3:-4000}
height=${4:-3000}
small=${5:-10000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Making $count pictures of ${width}x${height}..."
"$build/bench_make_pictures" "$work/large" "$count" "$width" "$height"
"$build/vimbrel" --generate "$work/large" >/dev/null 2>&1 # warm the file cache alike for both

generate=$(seconds "$build/vimbrel" --generate "$work/large")
decode=$(seconds "$build/bench_full_decode" "$work/large")
printf 'vimbrel --generate:  %8.3f s\n' "$generate"
printf 'full-decode baseline: %8.3f s\n' "$decode"
printf 'ratio:                %8.1f x faster\n' "$(echo "$decode / $generate" | bc -l)"

echo "Making $small small pictures..."
"$build/bench_make_pictures" "$work/small" "$small" 64 48
/usr/bin/time -o "$work/peak" -f '%M' "$build/vimbrel" --generate "$work/small" >/dev/null 2>&1
peak=$(tail -n 1 "$work/peak")
small_time=$(seconds "$build/vimbrel" --generate "$work/small")
printf 'vimbrel --generate, %d small pictures: %.3f s\n' "$small" "$small_time"
printf 'peak memory, %d small pictures: %.1f MB\n' "$small" "$(echo "$peak / 1024" | bc -l)"
