#!/usr/bin/env bash
# The gallery's album: a first run against vipsthumbnail making the same three
# sizes (256- and 512-pixel thumbnails, 2048-pixel copies) and against igal2
# making scaled slides, its peak memory, and an unchanged re-run against a
# classic run, each the best of three.
#   bench/gallery.sh [BUILD] [COUNT] [WIDTH] [HEIGHT]
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
count=${2:-60}
width=${3:-4000}
height=${4:-3000}
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail is missing (apt-get install libvips-tools)"; exit 1; }
command -v igal2 >/dev/null || { echo "igal2 is missing (apt-get install igal2)"; exit 1; }

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

vips_all() { # a vipsthumbnail process over every picture for each size, at our qualities
    mkdir -p "$work/vips"
    vipsthumbnail --size 256x256 -o "$work/vips/%s.small.jpg[Q=92]" "$work/pics"/*.jpg
    vipsthumbnail --size 512x512 -o "$work/vips/%s.large.jpg[Q=92]" "$work/pics"/*.jpg
    vipsthumbnail --size 2048x2048 -o "$work/vips/%s.web.jpg[Q=85]" "$work/pics"/*.jpg
}

igal_all() { # igal2 with slides scaled to the copies' height, on a copy of the folder (it writes into it)
    rm -rf "$work/igal" && cp -r "$work/pics" "$work/igal" && rm -rf "$work/igal/vimbrel" "$work/igal"/index*.htm
    igal2 -d "$work/igal" --bigy 1536 --xy 256 >/dev/null 2>&1
}

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Making $count pictures of ${width}x${height}..."
"$build/bench_make_pictures" "$work/pics" "$count" "$width" "$height"
cat "$work/pics"/*.jpg >/dev/null # the file cache warm alike for everyone

cpu() { # runs "$@" quietly, prints the processor time (user + system) in seconds
    /usr/bin/time -o "$work/cpu" -f '%U + %S' "$@" >/dev/null 2>&1
    tail -n 1 "$work/cpu" | bc -l
}

export -f vips_all igal_all
export work
vips=$(best_of_3 vips_all)
vips_cpu=$(cpu bash -c vips_all)
igal=$(best_of_3 igal_all)
first_run() { # a first gallery run: the album made from nothing
    rm -rf "$work/pics/vimbrel" "$work/pics"/index*.htm
    "$build/vimbrel" --generate "$work/pics" --gallery
}
first=$(best_of_3 first_run)
rm -rf "$work/pics/vimbrel"
first_cpu=$(cpu "$build/vimbrel" --generate "$work/pics" --gallery)
rm -rf "$work/pics/vimbrel"
/usr/bin/time -o "$work/peak" -f '%M' "$build/vimbrel" --generate "$work/pics" --gallery >/dev/null 2>&1
peak=$(tail -n 1 "$work/peak")
rerun=$(best_of_3 "$build/vimbrel" --generate "$work/pics" --gallery)
classic=$(best_of_3 "$build/vimbrel" --generate "$work/pics")

printf 'cores: %d, load average before: %s\n' "$(nproc)" "$load"
printf 'vipsthumbnail, three sizes of %d pictures: %8.3f s\n' "$count" "$vips"
printf 'igal2 --bigy, %d pictures:       %8.3f s\n' "$count" "$igal"
printf 'gallery run, first:             %8.3f s (%.1f x vipsthumbnail, goal 4 x; %.1f x igal2, goal 10 x)\n' \
    "$first" "$(echo "$vips / $first" | bc -l)" "$(echo "$igal / $first" | bc -l)"
printf 'processor time: vipsthumbnail %.3f s, gallery run %.3f s (%.2f x less)\n' "$vips_cpu" "$first_cpu" "$(echo "$vips_cpu / $first_cpu" | bc -l)"
printf 'gallery run, peak memory:       %8.1f MB (goal: under 256 MB)\n' "$(echo "$peak / 1024" | bc -l)"
printf 'gallery re-run, unchanged:      %8.3f s\n' "$rerun"
printf 'classic run:                    %8.3f s (re-run / classic: %.2f; goal: at most 1.5)\n' "$classic" "$(echo "$rerun / $classic" | bc -l)"
