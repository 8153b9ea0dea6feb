#!/usr/bin/env bash
# Usage: packaging/make_screenshot.sh [PROGRAM [OUT]]
# Makes the README's screenshot: the window of the built program in a virtual
# X server of its own, with a view drawn, its client area saved as a PNG.
# Needs Xvfb, xdotool and ffmpeg.
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")/.."
program=$(readlink -f "${1:-build/bin/Quenthar}")
out=$(readlink -f "${2:-packaging/screenshot.png}")
view=-0.6,-0.45,0.9,0.675

work=$(mktemp -d)
exec {ready}<> <(:)
Xvfb -displayfd "$ready" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" ${quenthar:-} 2>/dev/null; rm -rf "$work"' EXIT
read -r -u "$ready" number
export DISPLAY=:$number HOME=$work XDG_RUNTIME_DIR=$work
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

"$program" --view "$view" &
quenthar=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^Quenthar by Brellow$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not show" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"

# The picture is drawn when two grabs half a second apart are the same.
grab() { ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" \
    -i ":$number+$X,$Y" -frames:v 1 "$1"; }
grab "$work/a.png"
for _ in $(seq 60); do
    sleep 0.5
    grab "$work/b.png"
    cmp -s "$work/a.png" "$work/b.png" && break
    mv "$work/b.png" "$work/a.png"
done
mv "$work/a.png" "$out"
echo "$out: ${WIDTH}x${HEIGHT}"
