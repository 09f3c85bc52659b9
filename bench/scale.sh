#!/usr/bin/env bash
# Times `vimbrel --generate` against bench_floor, the least work that writes
# the same pages, over many small pictures: in memory (tmpfs) at each COUNT,
# then on the real disk at 100,000.
#   bench/scale.sh [BUILD] [COUNT...]      COUNT defaults to 1000 10000 100000
# RUNS (default 5) sets the timed runs of each program; DISK_COUNT (default
# 100000) the disk folder's size, 0 to leave the disk out. In memory, the
# gallery's album follows at each count, in the same folder: its first run,
# then unchanged re-runs beside classic re-runs, taken in turns (GALLERY=0
# leaves it out).
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=$(cd "${1:-build}" && pwd)
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1000 10000 100000)
runs=${RUNS:-5}
disk_count=${DISK_COUNT:-100000}
floor=$build/bench_floor
vimbrel=$build/vimbrel
for program in "$floor" "$vimbrel" "$build/bench_make_pictures"; do
    [ -x "$program" ] || { echo "scale.sh: $program is missing; build it first" >&2; exit 2; }
done

is_tmpfs() { [ "$(stat -f -c %T "$1")" = tmpfs ]; }

memory='' mounted='' disk=''
cleanup() {
    if [ -n "$mounted" ]; then
        umount "$memory" && rmdir "$memory"
    elif [ -n "$memory" ]; then
        rm -rf "$memory"
    fi
    [ -z "$disk" ] || rm -rf "$disk"
}
trap cleanup EXIT

if [ -d /dev/shm ] && [ -w /dev/shm ] && is_tmpfs /dev/shm; then
    memory=$(mktemp -d /dev/shm/vimbrel-scale.XXXXXX)
elif [ "$(id -u)" = 0 ]; then
    memory=$(mktemp -d)
    mount -t tmpfs -o size=2g tmpfs "$memory"
    mounted=yes
else
    echo "scale.sh: no tmpfs: /dev/shm is missing and mounting one needs root" >&2
    exit 2
fi

# A disk folder the page cache can hide but fdatasync cannot: never tmpfs.
if [ "$disk_count" -gt 0 ]; then
    for place in "$build" "${TMPDIR:-/tmp}" /var/tmp; do
        if [ -d "$place" ] && [ -w "$place" ] && ! is_tmpfs "$place"; then
            disk=$(mktemp -d "$place/vimbrel-scale-disk.XXXXXX")
            break
        fi
    done
    [ -n "$disk" ] || echo "scale.sh: every candidate folder is tmpfs; the disk rows are left out" >&2
fi

clear_pages() { find "$1" -maxdepth 1 -name 'index*.htm' -delete; }

peak_mb() { # runs "$@" quietly, prints its peak resident memory in MB
    /usr/bin/time -o "$memory/peak" -f '%M' "$@" >/dev/null 2>&1
    echo "scale=1; $(tail -n 1 "$memory/peak") / 1024" | bc -l
}

# min median max of the numbers given
summary() {
    local sorted n
    mapfile -t sorted < <(printf '%s\n' "$@" | sort -g)
    n=${#sorted[@]}
    local median
    if (( n % 2 )); then
        median=${sorted[n / 2]}
    else
        median=$(echo "(${sorted[n / 2 - 1]} + ${sorted[n / 2]}) / 2" | bc -l)
    fi
    echo "${sorted[0]} $median ${sorted[n - 1]}"
}

rows=() notes=()
row() { # where count program min median max peak
    rows+=("$(printf '%-6s %8s  %-16s %8.3f %8.3f %8.3f %8s' "$@")")
}

# Both programs write into the same folder in turn, so each finds the same
# cache and directory state; the warm-up pages of each are kept aside and
# compared byte for byte.
measure() { # where folder count
    local where=$1 folder=$2 count=$3 before=true
    [ "$where" = disk ] && before=sync
    echo "[$where $count] warm-up and page check" >&2
    local floor_pages="$memory/pages-floor" vimbrel_pages="$memory/pages-vimbrel"
    rm -rf "$floor_pages" "$vimbrel_pages"
    mkdir "$floor_pages" "$vimbrel_pages"
    clear_pages "$folder"
    local floor_peak vimbrel_peak
    floor_peak=$(peak_mb "$floor" "$folder")
    find "$folder" -maxdepth 1 -name 'index*.htm' -exec mv -t "$floor_pages" {} +
    vimbrel_peak=$(peak_mb "$vimbrel" --generate "$folder")
    find "$folder" -maxdepth 1 -name 'index*.htm' -exec cp -t "$vimbrel_pages" {} +
    local pages difference
    pages=$(find "$vimbrel_pages" -name 'index*.htm' | wc -l)
    if difference=$(diff -rq "$floor_pages" "$vimbrel_pages" 2>&1); then
        notes+=("$where $count: all $pages pages byte-identical")
    else
        notes+=("$where $count: PAGES DIFFER ($(echo "$difference" | wc -l) files), e.g. $(echo "$difference" | head -n 1)")
    fi
    rm -rf "$floor_pages" "$vimbrel_pages"

    local floor_times=() vimbrel_times=() rerun_times=() floor_rerun_times=()
    for ((i = 1; i <= runs; ++i)); do
        echo "[$where $count] run $i of $runs" >&2
        clear_pages "$folder"; $before
        floor_times+=("$(seconds "$floor" "$folder")")
        clear_pages "$folder"; $before
        vimbrel_times+=("$(seconds "$vimbrel" --generate "$folder")")
    done
    # The pages of the last run stay: these runs find every page already there.
    for ((i = 1; i <= runs; ++i)); do
        echo "[$where $count] re-run $i of $runs" >&2
        $before
        floor_rerun_times+=("$(seconds "$floor" "$folder")")
        $before
        rerun_times+=("$(seconds "$vimbrel" --generate "$folder")")
    done
    clear_pages "$folder"

    local f v fr vr
    read -r -a f < <(summary "${floor_times[@]}")
    read -r -a v < <(summary "${vimbrel_times[@]}")
    read -r -a fr < <(summary "${floor_rerun_times[@]}")
    read -r -a vr < <(summary "${rerun_times[@]}")
    row "$where" "$count" floor "${f[@]}" "$floor_peak"
    row "$where" "$count" vimbrel "${v[@]}" "$vimbrel_peak"
    row "$where" "$count" "floor, re-run" "${fr[@]}" -
    row "$where" "$count" "vimbrel, re-run" "${vr[@]}" -
    rows+=("$(printf '%-6s %8s  %-16s %8.1f x   re-run: %.1f x' "$where" "$count" "vimbrel / floor" \
        "$(echo "${v[1]} / ${f[1]}" | bc -l)" "$(echo "${vr[1]} / ${fr[1]}" | bc -l)")")
    if [ "$where" = memory ] && [ "${GALLERY:-1}" != 0 ]; then
        measure_gallery "$where" "$folder" "$count"
    fi
}

# The album in the same folder: a first run (its time and peak), then
# unchanged gallery re-runs and classic re-runs in turns, so both meet the
# machine alike; the album and the pages are removed after.
measure_gallery() { # where folder count
    local where=$1 folder=$2 count=$3
    echo "[$where $count] gallery: first run" >&2
    clear_pages "$folder"
    rm -rf "$folder/vimbrel"
    /usr/bin/time -o "$memory/first" -f '%e %M' "$vimbrel" --generate "$folder" --gallery >/dev/null 2>&1
    local first first_peak
    read -r first first_peak < <(tail -n 1 "$memory/first")
    local gallery_times=() classic_times=() gallery_peak
    gallery_peak=$(peak_mb "$vimbrel" --generate "$folder" --gallery)
    for ((i = 1; i <= runs; ++i)); do
        echo "[$where $count] gallery re-run $i of $runs, and a classic re-run" >&2
        gallery_times+=("$(seconds "$vimbrel" --generate "$folder" --gallery)")
        "$vimbrel" --generate "$folder" >/dev/null 2>&1 # the classic pages in place: the next is a re-run
        classic_times+=("$(seconds "$vimbrel" --generate "$folder")")
        clear_pages "$folder"
        "$vimbrel" --generate "$folder" --gallery >/dev/null 2>&1
    done
    rm -rf "$folder/vimbrel"
    clear_pages "$folder"
    local g c
    read -r -a g < <(summary "${gallery_times[@]}")
    read -r -a c < <(summary "${classic_times[@]}")
    row "$where" "$count" "gallery, first" "$first" "$first" "$first" "$(echo "scale=1; $first_peak / 1024" | bc -l)"
    row "$where" "$count" "gallery, re-run" "${g[@]}" "$gallery_peak"
    row "$where" "$count" "classic, re-run" "${c[@]}" -
    rows+=("$(printf '%-6s %8s  %-16s %8.2f x   (goal: at most 1.5)' "$where" "$count" "gallery / classic" \
        "$(echo "${g[1]} / ${c[1]}" | bc -l)")")
}

# An empty folder: what each costs before the first picture, start-up above all.
echo "[memory 0] an empty folder" >&2
mkdir "$memory/empty"
empty_floor=() empty_vimbrel=()
for ((i = 1; i <= runs; ++i)); do
    empty_floor+=("$(seconds "$floor" "$memory/empty")")
    empty_vimbrel+=("$(seconds "$vimbrel" --generate "$memory/empty")")
done
read -r -a f < <(summary "${empty_floor[@]}")
read -r -a v < <(summary "${empty_vimbrel[@]}")
row memory 0 floor "${f[@]}" -
row memory 0 vimbrel "${v[@]}" -

for count in "${counts[@]}"; do
    echo "[memory $count] making $count pictures of 64x48" >&2
    "$build/bench_make_pictures" "$memory/pictures$count" "$count" 64 48
    measure memory "$memory/pictures$count" "$count"
    rm -rf "$memory/pictures$count"
done

if [ -n "$disk" ]; then
    echo "[disk $disk_count] making $disk_count pictures of 64x48 in $disk" >&2
    "$build/bench_make_pictures" "$disk/pictures" "$disk_count" 64 48
    sync
    measure disk "$disk/pictures" "$disk_count"
fi

echo
echo "Wall seconds over $runs runs each after one warm-up; memory = tmpfs ($memory), disk = ${disk:-none}."
printf '%-6s %8s  %-16s %8s %8s %8s %8s\n' where pictures program min median max 'peak MB'
printf '%s\n' "${rows[@]}"
echo
echo "Ratio: median against median. Pages:"
printf '  %s\n' "${notes[@]}"
echo "vimbrel flushes once a run (syncfs before renaming its pages); the floor does not flush,"
echo "so on disk its rows leave out the wait for the device (sync runs before every timed run)."
