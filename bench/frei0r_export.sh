#!/usr/bin/env bash
# The reference composition exported with frei0r's Glow over all of it, beside the same export
# without it: what a full-frame adjustment layer costs per frame in a real export.
#
#   bench/frei0r_export.sh BUILD_DIR MEDIA_DIR [RUNS] [FRAMES] [OUT_DIR]
#
# MEDIA_DIR holds movie.mp4 and pic.png as the peers' harness makes them; missing ones are made
# here with the same ffmpeg recipe. Writes ref.xqm and refglow.xqm (make_reference_project, the
# latter with --effect '\frei0r.so>Glow') into OUT_DIR (default /dev/shm/kelvane-frei0r, so the
# disk does not set the pace), then alternates RUNS times (default 5) the uncompressed export of
# each with kelvane-render, every output removed after its run. Prints the medians per frame, the
# glow's share and the ratio.
set -euo pipefail
build=$1 media=$2 runs=${3:-5} frames=${4:-300} dir=${5:-/dev/shm/kelvane-frei0r}
bin="$build/bin"
mkdir -p "$media" "$dir"
if [[ ! -s $media/movie.mp4 ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=30:d=10 \
        -c:v libx264 -preset medium -crf 20 -pix_fmt yuv420p -g 60 "$media/movie.mp4"
fi
if [[ ! -s $media/pic.png ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i mandelbrot=s=800x600:end_pts=1 \
        -frames:v 1 -pix_fmt rgb24 "$media/pic.png"
fi
"$bin/make_reference_project" "$media" "$dir/ref.xqm" "$frames"
"$bin/make_reference_project" "$media" "$dir/refglow.xqm" "$frames" --effect '\frei0r.so>Glow'

ms() { date +%s%N; }
plain=() glow=()
for ((i = 0; i < runs; i++)); do
    for kind in ref refglow; do
        a=$(ms)
        if ! "$bin/kelvane-render" "$dir/$kind.xqm" -o "$dir/$kind.avi" >/dev/null 2>"$dir/$kind.log"; then
            cat "$dir/$kind.log" >&2
            exit 1
        fi
        b=$(ms)
        written=$(ffprobe -v error -select_streams v:0 -count_packets \
            -show_entries stream=nb_read_packets -of csv=p=0 "$dir/$kind.avi")
        rm -f "$dir/$kind.avi"
        if ((written != frames)); then
            echo "$kind.xqm: $written frames written, $frames expected" >&2
            exit 1
        fi
        if [[ $kind == ref ]]; then plain+=($(((b - a) / 1000000))); else glow+=($(((b - a) / 1000000))); fi
    done
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
p=$(median "${plain[@]}") g=$(median "${glow[@]}")
echo "$frames frames, $runs runs (ms, whole commands): plain ${plain[*]}; with Glow ${glow[*]}"
awk -v p="$p" -v g="$g" -v n="$frames" 'BEGIN {
    printf "plain export            %8.2f ms/frame\n", p / n
    printf "with Glow over it       %8.2f ms/frame\n", g / n
    printf "added by the Glow        %8.2f ms/frame, ratio %.2f\n", (g - p) / n, g / p }'
