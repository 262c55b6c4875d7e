#!/usr/bin/env bash
# The demo that `make demo` runs after the build: makes the demo project with its media, renders
# it to a Motion JPEG AVI file (with the movie's sound as PCM) with kelvane-render and reports
# what was written.
# Usage: examples/demo.sh [BUILD_FOLDER]
set -euo pipefail

build=${1:-build}
out="$build/demo"

"$build/bin/make_demo_project" "$out" >/dev/null
"$build/bin/kelvane-render" "$out/demo.xqm" -o "$out/demo.avi" --codec mjpeg
"$build/bin/kelvane-render" "$out/demo.xqm" --frame 75 -o "$out/demo-frame75.bmp"

frames=$(ffprobe -v error -count_frames -select_streams v:0 \
  -show_entries stream=nb_read_frames -of csv=p=0 "$out/demo.avi")
echo
echo "demo project: $(realpath "$out/demo.xqm")"
sound=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels \
  -of csv=p=0 "$out/demo.avi")
echo "demo video:   $(realpath "$out/demo.avi") ($frames frames by ffprobe, 1280x720, 30 fps)"
echo "demo sound:   $sound (the movie's tune, following its event)"
echo "still frame:  $(realpath "$out/demo-frame75.bmp")"
