#!/usr/bin/env bash
# Peak memory and time of `vimbrel --generate` over a folder holding a JPEG of
# a few pixels behind 300 MB of comment segments and a 3 GB sparse GIF.
#   bench/hostile.sh [BUILD]
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/hostile"

# One comment segment of 64 KiB: marker FF FE, length FF FF, 65533 bytes.
{ printf '\xff\xfe\xff\xff'; head -c 65533 /dev/zero | tr '\0' 'c'; } >"$work/segment"
cp "$work/segment" "$work/segments"
double() { cat "$1" "$1" >"$work/double"; mv "$work/double" "$1"; }
for _ in $(seq 9); do double "$work/segments"; done
cp "$work/segments" "$work/more" # 512 segments
for _ in $(seq 3); do double "$work/segments"; done # 4096 segments
"$build/bench_make_pictures" "$work/small" 1 6 4 >/dev/null
small="$work/small/picture00000.jpg"
{ head -c 2 "$small"; cat "$work/segments" "$work/more"; tail -c +3 "$small"; } >"$work/hostile/stuffed.jpg"
rm "$work/segments" "$work/more"
{ printf 'GIF89a\x08\x00\x03\x00\x80\x00\x00'; printf '\xff\x00\x00\x00\x00\xff'; printf '\x2c\x00\x00\x00\x00\x08\x00\x03\x00\x00\x02\x02\x44\x01\x00\x3b'; } >"$work/hostile/sparse.gif"
truncate -s 3G "$work/hostile/sparse.gif"

printf 'stuffed.jpg: %d MB, sparse.gif: %d MB (sparse)\n' \
    "$(( $(stat -c %s "$work/hostile/stuffed.jpg") / 1000000 ))" "$(( $(stat -c %s "$work/hostile/sparse.gif") / 1000000 ))"
for run in 1 2 3; do
    /usr/bin/time -o "$work/time" -f '%M %e' "$build/vimbrel" --generate "$work/hostile" >/dev/null 2>&1
    read -r peak elapsed <"$work/time"
    printf 'run %d: %.3f s, peak %.1f MB\n' "$run" "$elapsed" "$(echo "$peak / 1024" | bc -l)"
done
echo "on the page:"
grep -o 'src="[^"]*" width="[0-9]*" height="[0-9]*"' "$work/hostile/index1.htm"
