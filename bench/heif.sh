#!/usr/bin/env bash
# Phone photos: a gallery run over N 12-megapixel HEIC photos against
# libheif's own decoder (heif-convert, two at a time on two cores) and
# vipsthumbnail making the same three sizes (2048, 512, 256), two at a time.
#   bench/heif.sh BUILD [N]
set -euo pipefail
build=${1:?usage: bench/heif.sh BUILD [N]}
count=${2:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/photos" "$work/out"
# One photo encoded once (x265 takes seconds), copied: each copy is decoded on its own.
convert -size 4032x3024 plasma:fractal -blur 0x1 "$work/photo.jpg"
heif-enc -q 80 "$work/photo.jpg" -o "$work/photo.heic" >/dev/null
for i in $(seq 1 "$count"); do cp "$work/photo.heic" "$work/photos/p$i.heic"; done

seconds() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1; }
pairs() { # runs "$1 INPUT OUTPUT" over the photos, two at a time
    for i in $(seq 1 2 "$count"); do
        $1 "$work/photos/p$i.heic" "$work/out/a$i" & $1 "$work/photos/p$((i + 1)).heic" "$work/out/b$i" & wait
    done
}
heifconvert() { heif-convert "$1" "$2.jpg" >/dev/null; }
vips3() { for s in 2048 512 256; do vipsthumbnail "$1" -s "$s" -o "$2-$s.jpg" >/dev/null; done; }
export -f heifconvert vips3 pairs
export work count

best() { # best of three: seconds and peak KB of the run that took least
    local winner=""
    for _ in 1 2 3; do
        rm -rf "$work/photos/vimbrel" "$work/photos/index"*.htm "$work/out"/*
        local r; r=$(seconds "$@")
        if [ -z "$winner" ] || [ "$(echo "${r% *} < ${winner% *}" | bc)" = 1 ]; then winner=$r; fi
    done
    echo "$winner"
}
ours=$(best "$build/vimbrel" --generate "$work/photos" --gallery)
heif=$(best bash -c 'pairs heifconvert')
vips=$(best bash -c 'pairs vips3')
echo "photos: $count HEIC, 4032 x 3024"
echo "vimbrel --gallery:           ${ours% *} s, ${ours#* } KB peak"
echo "heif-convert, 2 at a time:   ${heif% *} s (ratio $(echo "scale=2; ${ours% *} / ${heif% *}" | bc))"
echo "vipsthumbnail x3, 2 at once: ${vips% *} s (vimbrel $(echo "scale=1; ${vips% *} / ${ours% *}" | bc) x faster)"
rm -rf "$work/photos/vimbrel"
# An unchanged re-run: nothing decoded, nothing written.
"$build/vimbrel" --generate "$work/photos" --gallery >/dev/null 2>&1
before=$(find "$work/photos/vimbrel" -type f -newer "$work/photo.heic" -printf '%T@ %p\n' | sort | md5sum)
rerun=$(seconds "$build/vimbrel" --generate "$work/photos" --gallery)
after=$(find "$work/photos/vimbrel" -type f -newer "$work/photo.heic" -printf '%T@ %p\n' | sort | md5sum)
echo "unchanged re-run:            ${rerun% *} s, files rewritten: $([ "$before" = "$after" ] && echo none || echo SOME)"
