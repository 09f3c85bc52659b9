#!/usr/bin/env bash
# Clips: a gallery run over six 10-second phone clips (two H.264, put in MP4
# as they are; two HEVC, made H.264; one VP9 WebM, put as it is; one MPEG-4
# part 2, made H.264) against ffmpeg doing the same work (a copy remuxed or
# made with -c:v libx264 -preset veryfast -crf 23 -c:a aac, and one poster
# frame a clip), two at a time on two cores, and against thumbsup, a peer
# album generator from npm, when THUMBSUP names its binary.
#   bench/clips.sh BUILD
set -euo pipefail
build=${1:?usage: bench/clips.sh BUILD}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/clips" "$work/out"
source="testsrc2=size=1920x1080:rate=30:duration=10,noise=alls=12:allf=t"
tone="sine=frequency=330:duration=10"
make() { ffmpeg -v error -y -f lavfi -i "$1" -f lavfi -i "$tone" -shortest "${@:3}" "$work/clips/$2"; }
make "$source" a.mp4 -c:v libx264 -pix_fmt yuv420p -c:a aac
make "$source" b.mp4 -c:v libx264 -pix_fmt yuv420p -c:a aac
make "$source" c.mov -c:v libx265 -preset ultrafast -tag:v hvc1 -pix_fmt yuv420p -x265-params log-level=error -c:a aac
make "$source" d.mov -c:v libx265 -preset ultrafast -tag:v hvc1 -pix_fmt yuv420p -x265-params log-level=error -c:a aac
make "${source/1920x1080/1280x720}" e.webm -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2M -c:a libopus
make "${source/1920x1080/1280x720}" f.mkv -c:v mpeg4 -q:v 3 -c:a aac

seconds() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1; }
# What the album does to a clip, with ffmpeg: its copy and its poster.
reference() {
    local in=$1 out=$2
    case "$in" in
        *.mp4|*.webm) ffmpeg -v error -y -i "$in" -c copy -map_metadata -1 -movflags +faststart "$out.${in##*.}" ;;
        *) ffmpeg -v error -y -i "$in" -vf "scale='min(1920,iw)':-2" -c:v libx264 -preset veryfast -crf 23 -c:a aac \
               -map_metadata -1 -movflags +faststart "$out.mp4" ;;
    esac
    ffmpeg -v error -y -ss 1 -i "$in" -frames:v 1 "$out.jpg"
}
pairs() { # the clips two at a time
    local clips=("$work"/clips/*.*)
    for ((i = 0; i < ${#clips[@]}; i += 2)); do
        reference "${clips[i]}" "$work/out/$i" & reference "${clips[i + 1]}" "$work/out/$((i + 1))" & wait
    done
}
export -f reference pairs
export work

best() { # best of three: seconds and peak KB of the run that took least
    local winner=""
    for _ in 1 2 3; do
        rm -rf "$work/clips/vimbrel" "$work/clips/index"*.htm "$work/out"/* "$work/thumbsup"
        local r; r=$(seconds "$@")
        if [ -z "$winner" ] || [ "$(echo "${r% *} < ${winner% *}" | bc)" = 1 ]; then winner=$r; fi
    done
    echo "$winner"
}
ours=$(best "$build/vimbrel" --generate "$work/clips" --gallery)
theirs=$(best bash -c pairs)
echo "clips: 2 H.264 1080p, 2 HEVC 1080p, 1 VP9 720p, 1 MPEG-4 720p; 10 s each"
echo "vimbrel --gallery:            ${ours% *} s, ${ours#* } KB peak"
echo "ffmpeg, 2 at a time:          ${theirs% *} s, ${theirs#* } KB peak (ratio $(echo "scale=2; ${ours% *} / ${theirs% *}" | bc))"
if [ -n "${THUMBSUP:-}" ]; then
    thumbsup=$(best "$THUMBSUP" --input "$work/clips" --output "$work/thumbsup" --log info)
    echo "thumbsup:                     ${thumbsup% *} s, ${thumbsup#* } KB peak (vimbrel $(echo "scale=1; ${thumbsup% *} / ${ours% *}" | bc) x faster)"
fi
rm -rf "$work/clips/vimbrel" "$work/clips/index"*.htm
"$build/vimbrel" --generate "$work/clips" --gallery >/dev/null 2>&1
before=$(find "$work/clips/vimbrel" -type f -printf '%T@ %p\n' | sort | md5sum)
rerun=$(seconds "$build/vimbrel" --generate "$work/clips" --gallery)
after=$(find "$work/clips/vimbrel" -type f -printf '%T@ %p\n' | sort | md5sum)
echo "unchanged re-run:             ${rerun% *} s, files rewritten: $([ "$before" = "$after" ] && echo none || echo SOME)"
