#!/usr/bin/env bash
# Playback in the real window under a private Xvfb: the demo project, the reference composition
# (make_reference_project, 1920 x 1080) and the same composition at 3840 x 2160, SECONDS of
# playback each (10 by default), one run of ui_playback_bench per project.
#
#   bench/ui_playback_bench.sh BUILD_DIR [SECONDS]
#
# Needs the targets ui_playback_bench, make_demo_project and make_reference_project, and ffmpeg
# for the reference composition's media (the recipe of bench/README.md).
set -euo pipefail

build=$(realpath "$1")
seconds=${2:-10}
work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" \
  2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 200); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
export DISPLAY=":$(tr -d '\n' <"$work/display")" QT_QPA_PLATFORM=xcb

"$build/bin/make_demo_project" "$work/demo" >/dev/null
mkdir -p "$work/media"
ffmpeg -loglevel error -f lavfi -i testsrc2=s=1280x720:r=30:d=10 -c:v libx264 -preset medium \
  -crf 20 -pix_fmt yuv420p -g 60 "$work/media/movie.mp4"
ffmpeg -loglevel error -f lavfi -i mandelbrot=s=800x600:end_pts=1 -frames:v 1 -pix_fmt rgb24 \
  "$work/media/pic.png"
"$build/bin/make_reference_project" "$work/media" "$work/reference.xqm" 300 >/dev/null

# The program's folder holds the plug-ins (effect.so, *.spi) the projects load.
bench="$build/bin/ui_playback_bench"
"$bench" "$work/demo/demo.xqm" "$seconds"
echo
"$bench" "$work/reference.xqm" "$seconds"
echo
"$bench" "$work/reference.xqm" "$seconds" 3840x2160
