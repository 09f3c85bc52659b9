#!/usr/bin/env bash
# Gallery pages: a first run against vipsthumbnail making the same 256-pixel
# thumbnails, its peak memory, and an unchanged re-run against a classic run.
#   bench/gallery.sh [BUILD] [COUNT] [WIDTH] [HEIGHT]
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
count=${2:-200}
width=${3:-4000}
height=${4:-3000}
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail is missing (apt-get install libvips-tools)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best_of_3() { # the least of three timings of "$@"
    local best="" t
    for _ in 1 2 3; do
        t=$(seconds "$@")
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

vips_all() { # one vipsthumbnail process over every picture, as a user would run it
    mkdir -p "$work/vips"
    vipsthumbnail --size 256x256 -o "$work/vips/%s.jpg[Q=92]" "$work/pics"/*.jpg # our thumbnails' quality
}

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Making $count pictures of ${width}x${height}..."
"$build/bench_make_pictures" "$work/pics" "$count" "$width" "$height"
cat "$work/pics"/*.jpg >/dev/null # the file cache warm alike for everyone

cpu() { # runs "$@" quietly, prints the processor time (user + system) in seconds
    /usr/bin/time -o "$work/cpu" -f '%U + %S' "$@" >/dev/null 2>&1
    tail -n 1 "$work/cpu" | bc -l
}

export -f vips_all
export work
vips=$(seconds vips_all)
vips_cpu=$(cpu bash -c vips_all)
first=$(seconds "$build/vimbrel" --generate "$work/pics" --gallery)
rm -rf "$work/pics/thumbnails"
first_cpu=$(cpu "$build/vimbrel" --generate "$work/pics" --gallery)
rm -rf "$work/pics/thumbnails"
/usr/bin/time -o "$work/peak" -f '%M' "$build/vimbrel" --generate "$work/pics" --gallery >/dev/null 2>&1
peak=$(tail -n 1 "$work/peak")
rerun=$(best_of_3 "$build/vimbrel" --generate "$work/pics" --gallery)
classic=$(best_of_3 "$build/vimbrel" --generate "$work/pics")

printf 'cores: %d, load average before: %s\n' "$(nproc)" "$load"
printf 'vipsthumbnail, %d pictures:     %8.3f s\n' "$count" "$vips"
printf 'gallery run, first:             %8.3f s (%.1f x faster; goal: at least 2 x)\n' "$first" "$(echo "$vips / $first" | bc -l)"
printf 'processor time: vipsthumbnail %.3f s, gallery run %.3f s (%.2f x less)\n' "$vips_cpu" "$first_cpu" "$(echo "$vips_cpu / $first_cpu" | bc -l)"
printf 'gallery run, peak memory:       %8.1f MB (goal: under 256 MB)\n' "$(echo "$peak / 1024" | bc -l)"
printf 'gallery re-run, unchanged:      %8.3f s\n' "$rerun"
printf 'classic run:                    %8.3f s (re-run / classic: %.2f; goal: at most 2)\n' "$classic" "$(echo "$rerun / $classic" | bc -l)"
