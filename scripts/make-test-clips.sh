#!/usr/bin/env bash
# Generates the movie clips the tests and benchmarks play, with ffmpeg, into one folder:
#   red.mp4 green.mp4 blue.mp4 yellow.mp4  320x240 25 fps, 5 s, H.264/AAC, frame number burnt in, title tag
#   tone.m4a                               5 s of sine, no picture
#   still.png                              one 320x240 picture
#   bench-720p.mp4 bench-1080p.mp4         30 fps, 10 s, moving test pattern with sound (only with --bench)
# Files already there are kept, so repeated runs cost nothing.
# Usage: scripts/make-test-clips.sh <folder> [--bench]
set -euo pipefail

out=${1:?usage: make-test-clips.sh <folder> [--bench]}
bench=${2:-}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9   # parallel test runs share the folder

ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)

# Writes to a temporary name first so a half-written clip is never taken for a finished one.
make() {
    local name=$1; shift
    [[ -s "$out/$name" ]] && return 0
    local tmp="$out/.partial-$name"
    "${ff[@]}" "$@" "$tmp"
    mv -f "$tmp" "$out/$name"
}

colour_clip() {
    local name=$1 colour=$2 title=$3 freq=$4
    local counter="drawtext=fontfile=$font:text='%{frame_num}':x=4:y=4:fontsize=24:fontcolor=white:box=1:boxcolor=black"
    make "$name.mp4" -f lavfi -i "color=c=$colour:s=320x240:r=25:d=5" \
        -f lavfi -i "sine=frequency=$freq:sample_rate=48000:duration=5" \
        -vf "$counter" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k \
        -metadata title="$title" -f mp4
}

colour_clip red red "Red Clip" 330
colour_clip green 0x00ff00 "Green Clip" 440
colour_clip blue blue "Blue Clip" 550
colour_clip yellow yellow "Yellow Clip" 660
make tone.m4a -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=5" -c:a aac -b:a 64k -f ipod
make still.png -f lavfi -i "color=c=red:s=320x240:d=1" -frames:v 1 -f image2

if [[ "$bench" == "--bench" ]]; then
    for size in 720p:1280x720 1080p:1920x1080; do
        make "bench-${size%%:*}.mp4" -f lavfi -i "testsrc2=s=${size#*:}:r=30:d=10" \
            -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=10" \
            -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k -shortest -f mp4
    done
fi
