#!/usr/bin/env bash
# Generates the movie clips the tests and benchmarks play, with ffmpeg, into one folder:
#   red.mp4 green.mp4 blue.mp4 yellow.mp4  320x240 25 fps, 5 s, H.264/AAC, frame number burnt in, title tag
#   hd/red.mp4 ... hd/yellow.mp4           the same at 1280x720
#   tone.m4a                               5 s of sine, no picture
#   still.png                              one 320x240 picture
#   kinds/                                 1 s, 320x240, one file of each kind a user meets, each in its own
#                                          colour: video-only.mp4 (H.264, no sound), vp9.webm, hevc.mkv,
#                                          mjpeg.avi, prores.mov, rotated.mp4 (upright.mp4, red left and blue
#                                          right, turned by its metadata as phones store it), vfr.mp4 (frames at
#                                          uneven times), 10bit.mp4 (HEVC, 10 bits a sample), cut-short.mkv
#                                          (Matroska cut in half, its index lost)
#   barcode.mp4                            320x240 25 fps, 5 s, H.264/AAC, moving test pattern; every frame
#                                          carries its number as a barcode (tests/support/FrameBarcode.h)
#   barcode-vfr.mp4                        the same with frames 3 to 12 left out (uneven frame times): the
#                                          frame after 2 is 13
#   barcode-15s.mp4 barcode-15s-silent.mp4 the same, 15 s, with sound and without any sound track
#   barcode-24fps-10s.mp4                  the same pictures at 24 fps, 10 s: frame n shows at n / 24 s
#   sound-joins.ts                         320x240, 5.5 s, MPEG-TS, a 550 Hz tone joined from parts of a second as
#                                          broadcasts are: stereo 0-1 s, mono 1-2 s and 2.5-3.5 s, stereo 3-4 s and
#                                          4.5-5.5 s: changes of channels, pauses in the timestamps and sound
#                                          stamped over sound
#   bench-720p.mp4 bench-1080p.mp4         30 fps, 10 s, moving test pattern with sound (only with --bench)
#   barcode-720p-40s.mp4                   30 fps, 40 s, barcode clip with sound (only with --bench)
#   barcode-360p-60fps.mp4                 640x360, 60 fps, 90 s, barcode clip with sound (only with --bench)
#   barcode-360p-30fps.mp4                 640x360, 30 fps, 90 s, barcode clip with sound (only with --bench)
#   testcard-720p.mp4                      1280x720, 30 fps, 2 s, no sound: 4x4 cells, the one in column c and
#                                          row r coloured (85c, 85r, 255-85c) (only with --bench)
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
    local tmp="$out/$(dirname "$name")/.partial-$(basename "$name")"
    "${ff[@]}" "$@" "$tmp"
    mv -f "$tmp" "$out/$name"
}

colour_clip() {
    local name=$1 colour=$2 title=$3 freq=$4 size=${5:-320x240}
    local counter="drawtext=fontfile=$font:text='%{frame_num}':x=4:y=4:fontsize=24:fontcolor=white:box=1:boxcolor=black"
    make "$name.mp4" -f lavfi -i "color=c=$colour:s=$size:r=25:d=5" \
        -f lavfi -i "sine=frequency=$freq:sample_rate=48000:duration=5" \
        -vf "$counter" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k \
        -metadata title="$title" -f mp4
}

colour_clip red red "Red Clip" 330
colour_clip green 0x00ff00 "Green Clip" 440
colour_clip blue blue "Blue Clip" 550
colour_clip yellow yellow "Yellow Clip" 660
mkdir -p "$out/hd"
colour_clip hd/red red "Red Clip" 330 1280x720
colour_clip hd/green 0x00ff00 "Green Clip" 440 1280x720
colour_clip hd/blue blue "Blue Clip" 550 1280x720
colour_clip hd/yellow yellow "Yellow Clip" 660 1280x720
make tone.m4a -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=5" -c:a aac -b:a 64k -f ipod
make still.png -f lavfi -i "color=c=red:s=320x240:d=1" -frames:v 1 -f image2

# The frame number as a barcode in the top fifteenth of the picture: 16 stripes, most significant bit on the
# left, white for 1 and black for 0. FrameBarcode reads it back off the screen.
# A sixth argument picks frames (a select expression): the others are left out and the rest keep their times.
# A seventh argument "silent" leaves the sound track out.
barcode_clip() {
    local name=$1 width=$2 height=$3 rate=$4 seconds=$5 pick=${6:-}
    local keep=() uneven=() sound=(-map 2:a -c:a aac -b:a 64k)
    if [[ -n "$pick" ]]; then
        keep=(",select='$pick'")
        uneven=(-fps_mode vfr)
    fi
    [[ "${7:-}" == silent ]] && sound=(-an)
    make "$name" -f lavfi -i "testsrc2=s=${width}x${height}:r=$rate:d=$seconds" \
        -f lavfi -i "nullsrc=s=16x1:r=$rate:d=$seconds,geq=lum='255*mod(floor(N/pow(2\,15-X))\,2)':cb=128:cr=128" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
        -filter_complex "[1:v]scale=$width:$((height / 15)):flags=neighbor[code];[0:v][code]overlay=0:0:shortest=1${keep[*]}[v]" \
        -map "[v]" "${sound[@]}" "${uneven[@]}" -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 60 -shortest -f mp4
}
barcode_clip barcode.mp4 320 240 25 5
barcode_clip barcode-vfr.mp4 320 240 25 5 'not(between(n,3,12))'
barcode_clip barcode-15s.mp4 320 240 25 15
barcode_clip barcode-15s-silent.mp4 320 240 25 15 '' silent
barcode_clip barcode-24fps-10s.mp4 320 240 24 10

# A broadcast joined from recordings of a second each: each part given as channels:start (in seconds).
joined() {
    local name=$1; shift
    [[ -s "$out/$name" ]] && return
    local parts=() n=0
    for part in "$@"; do
        n=$((n + 1))
        "${ff[@]}" -f lavfi -i "color=c=red:s=320x240:r=25:d=1" \
            -f lavfi -i "sine=frequency=550:sample_rate=48000:duration=1" -ac "${part%%:*}" \
            -output_ts_offset "${part#*:}" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -f mpegts \
            "$out/.partial-$name-$n.ts"
        parts+=("$out/.partial-$name-$n.ts")
    done
    cat "${parts[@]}" >"$out/.partial-$name"
    rm -f "${parts[@]}"
    mv -f "$out/.partial-$name" "$out/$name"
}
joined sound-joins.ts 2:0 1:1 1:2.5 2:3 2:4.5

mkdir -p "$out/kinds"
kind() {
    local name=$1 colour=$2; shift 2
    make "kinds/$name" -f lavfi -i "color=c=$colour:s=320x240:r=25:d=1" \
        -f lavfi -i "sine=frequency=550:sample_rate=48000:duration=1" "$@"
}
kind video-only.mp4 0x00ffff -map 0:v -c:v libx264 -preset ultrafast -pix_fmt yuv420p -f mp4
kind vp9.webm 0xff00ff -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 100k -c:a libopus -f webm
kind hevc.mkv 0xff8000 -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p \
    -c:a aac -f matroska
kind mjpeg.avi 0x8000ff -c:v mjpeg -q:v 3 -pix_fmt yuvj420p -c:a pcm_s16le -f avi
kind prores.mov 0x0080ff -c:v prores_ks -profile:v 0 -c:a pcm_s16le -f mov
kind upright.mp4 red -vf "drawbox=x=160:y=0:w=160:h=240:color=blue:t=fill" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -f mp4
# this ffmpeg writes the rotation only when it copies the streams; shown upright: blue above red
make kinds/rotated.mp4 -i "$out/kinds/upright.mp4" -c copy -metadata:s:v:0 rotate=90 -f mp4
kind vfr.mp4 0xff0080 -vf "select='not(between(n,3,12))'" -fps_mode vfr -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -f mp4
kind 10bit.mp4 0x80ff00 -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p10le \
    -tag:v hvc1 -c:a aac -f mp4
# a recording cut short by a crash or a full disk: Matroska keeps what was written playable, but its index
# (written last) is lost, and a reader cannot seek in it
if [[ ! -s "$out/kinds/cut-short.mkv" ]]; then
    # grain makes it large enough that the half kept is more than a reader looks at to know the file
    kind .whole-cut-short.mkv 0x00ff80 -vf "noise=alls=12:allf=t+u" -c:v libx264 -preset ultrafast \
        -pix_fmt yuv420p -c:a aac -f matroska
    whole="$out/kinds/.whole-cut-short.mkv"
    head -c $(($(stat -c %s "$whole") / 2)) "$whole" >"$out/kinds/.partial-cut-short.mkv"
    mv -f "$out/kinds/.partial-cut-short.mkv" "$out/kinds/cut-short.mkv"
    rm -f "$whole"
fi

if [[ "$bench" == "--bench" ]]; then
    for size in 720p:1280x720 1080p:1920x1080; do
        make "bench-${size%%:*}.mp4" -f lavfi -i "testsrc2=s=${size#*:}:r=30:d=10" \
            -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=10" \
            -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k -shortest -f mp4
    done
    barcode_clip barcode-720p-40s.mp4 1280 720 30 40
    barcode_clip barcode-360p-60fps.mp4 640 360 60 90
    barcode_clip barcode-360p-30fps.mp4 640 360 30 90
    make testcard-720p.mp4 -f lavfi \
        -i "nullsrc=s=4x4:r=30:d=2,format=rgb24,geq=r='85*X':g='85*Y':b='255-85*X',scale=1280:720:flags=neighbor" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -f mp4
fi
