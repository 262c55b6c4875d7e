#!/usr/bin/env bash
# What the sound costs an export: the same H.264 MP4 export of a project with a sounding movie,
# with its sound (AAC) and with --no-audio, alternating.
#
#   bench/sound_export_ratio.sh BUILD_DIR PROJECT.xqm [RUNS] [OUT_DIR]
#
# PROJECT.xqm: a composition with a movie that has sound (the reference composition with such a
# movie on a track of its own, or build/demo/demo.xqm after `make demo`). RUNS (default 5)
# alternating pairs, output to OUT_DIR (default /dev/shm), removed after each run. Prints the
# medians and with ÷ without (target <= 1.05). A failed export, or a project that exports
# without sound, stops it with the reason.
set -euo pipefail
build=$1 project=$2 runs=${3:-5} dir=${4:-/dev/shm}
render="$build/bin/kelvane-render"
with=() without=()
for ((i = 0; i < runs; i++)); do
    for sound in 1 0; do
        extra=()
        ((sound)) || extra=(--no-audio)
        a=$(date +%s%N)
        if ! "$render" "$project" -o "$dir/sound-ratio.mp4" "${extra[@]}" >/dev/null \
            2>"$dir/sound-ratio.err"; then
            echo "sound_export_ratio: the export failed:" >&2
            cat "$dir/sound-ratio.err" >&2
            exit 1
        fi
        b=$(date +%s%N)
        # A ratio of two silent exports would say nothing: the project must sound.
        streams=$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 \
            "$dir/sound-ratio.mp4" | wc -l)
        if ((streams != sound)); then
            echo "sound_export_ratio: $project exported with $streams audio streams" \
                "where $sound was expected (a project without sound?)" >&2
            exit 1
        fi
        rm -f "$dir/sound-ratio.mp4" "$dir/sound-ratio.err"
        if ((sound)); then with+=($(((b - a) / 1000000))); else without+=($(((b - a) / 1000000))); fi
    done
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
w=$(median "${with[@]}") o=$(median "${without[@]}")
echo "runs (ms), with sound: ${with[*]}; without: ${without[*]}"
awk -v w="$w" -v o="$o" 'BEGIN { printf "median with %.0f ms, without %.0f ms, ratio %.3f (target <= 1.05)\n", w, o, w / o }'
