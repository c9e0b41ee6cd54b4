#!/usr/bin/env bash
# Takes the README's screenshots of the real program on a virtual X server: four generated clips in a
# generated library, in a home of its own, so nothing of yours shows or changes. Writes
# docs/screenshots/*.png as small palette PNGs.
# Usage: scripts/make-screenshots.sh [build-dir]     (needs xvfb-run, xdotool and ffmpeg: scripts/install-deps.sh)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$root/docs/screenshots
width=1280 height=800

if [[ -z "${TETRAPAN_SCREENSHOT_DISPLAY:-}" ]]; then
    [[ -x "$build/tetrapan" ]] || { echo "make-screenshots: build Tetrapan first (make build)" >&2; exit 1; }
    exec env TETRAPAN_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 ${width}x${height}x24" "$0" "$build"
fi

work=$(mktemp -d)
app=
cleanup() {
    [[ -n "$app" ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Four moving pictures with sound, as four cameras of one match might give.
clips=$work/clips
mkdir -p "$clips"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
clip() {
    local name=$1 source=$2
    "${ff[@]}" -f lavfi -i "$source" -f lavfi -i "sine=frequency=440:duration=8" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest -t 8 \
        -metadata title="$name" "$clips/$name.mp4"
}
clip "North Stand" "testsrc2=s=640x360:r=25"
clip "Touchline" "gradients=s=640x360:r=25:speed=0.02"
clip "Goal Cam" "smptehdbars=s=640x360:r=25"
clip "Drone" "sierpinski=s=640x360:r=25"

export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
# nothing of the desktop the script runs in: no bus, no theme plug-in
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
mkdir -p "$XDG_DATA_HOME/Tetrapan" "$XDG_CONFIG_HOME/Tetrapan"

entry() { # id viewNo title
    printf '  <filelist id="%d" itemId="%08d" uniqueId="00000002" viewNo="%d" filePath="%s" title="%s" playTime="8" fileSize="%d" fileDate="2026-11-28T18:04:05.000Z"/>\n' \
        "$1" "$2" "$2" "$clips/$3.mp4" "$3" "$(stat -c %s "$clips/$3.mp4")"
}
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<tetrapan-library version="1">'
    echo '  <playlist id="1" uniqueId="00000001" title="Cup Final" index="1" isFolder="true" isExpand="true" frameSet=""/>'
    echo '  <playlist id="2" parent="1" uniqueId="00000002" title="First Half" index="1" isFolder="false" isExpand="false" frameSet=""/>'
    echo '  <playlist id="3" parent="1" uniqueId="00000003" title="Second Half" index="2" isFolder="false" isExpand="false" frameSet=""/>'
    echo '  <playlist id="4" uniqueId="00000004" title="Training" index="2" isFolder="true" isExpand="false" frameSet=""/>'
    echo '  <playlist id="5" uniqueId="00000005" title="Encoder Comparison" index="3" isFolder="false" isExpand="false" frameSet=""/>'
    entry 6 1 "North Stand"
    entry 7 2 "Touchline"
    entry 8 3 "Goal Cam"
    entry 9 4 "Drone"
    for id in 6 7 8 9; do echo "  <link playlist=\"2\" filelist=\"$id\"/>"; done
    echo '</tetrapan-library>'
} > "$XDG_DATA_HOME/Tetrapan/Tetrapan.xml"
cat > "$XDG_CONFIG_HOME/Tetrapan/Tetrapan.json" <<'EOF'
{
    "optUniqueNoForPlist": 5,
    "optUniqueNoForFlist": 4,
    "optLastSelectedIndexForPlaylist": 1,
    "optIsPlaylist": true,
    "optIsController": true,
    "rectWindowMain": "{{0, 0}, {880, 560}}",
    "rectWindowPlaylist": "{{890, 0}, {380, 560}}",
    "rectWindowControl": "{{254, 572}, {372, 76}}"
}
EOF

"$build/tetrapan" &
app=$!
for _ in $(seq 100); do
    xdotool search --onlyvisible --pid "$app" --name '^First Half' >/dev/null 2>&1 && break
    sleep 0.2
done
main=$(xdotool search --onlyvisible --pid "$app" --name '^First Half' | head -1)
[[ -n "$main" ]] || { echo "make-screenshots: Tetrapan did not show its window" >&2; exit 1; }
# the movies open some seconds after the window on a busy machine; then a few seconds of play
sleep 8
xdotool mousemove 220 200 click 1 sleep 0.3 key space sleep 4 key space sleep 1

# Grabs a part of the screen into a palette PNG, which keeps these pictures small.
grab() { # name x y w h
    "${ff[@]}" -f x11grab -draw_mouse 0 -video_size "$4x$5" -i "$DISPLAY+$2,$3" -frames:v 1 "$work/$1.png"
    "${ff[@]}" -i "$work/$1.png" \
        -vf "split[a][b];[a]palettegen=max_colors=192[p];[b][p]paletteuse=dither=none" "$out/$1.png"
}
mkdir -p "$out"
grab tetrapan 0 0 1270 648
grab playlist 890 0 380 560
echo "make-screenshots: wrote $(cd "$out" && ls -1 ./*.png | tr '\n' ' ')"
