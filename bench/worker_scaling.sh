#!/usr/bin/env bash
# Worker scaling as whole runs: the same uncompressed export with the composition drawn by the
# calling thread alone (DrawFrameThread=0) and by the caller with one worker (DrawFrameThread=1).
#
#   bench/worker_scaling.sh BUILD_DIR PROJECT.xqm [RUNS] [OUT_DIR]
#
# Alternating RUNS times (default 5), output to OUT_DIR (default /dev/shm, so the disk does not
# set the pace), removed after each run. Prints the medians and one over two (target >= 1.8).
set -euo pipefail
build=$1 project=$2 runs=${3:-5} dir=${4:-/dev/shm}
render="$build/bin/kelvane-render"
one=() two=()
for ((i = 0; i < runs; i++)); do
    for workers in 0 1; do
        a=$(date +%s%N)
        "$render" "$project" -o "$dir/scaling.avi" --set DrawFrameThread=$workers >/dev/null 2>&1
        b=$(date +%s%N)
        rm -f "$dir/scaling.avi"
        if ((workers == 0)); then one+=($(((b - a) / 1000000))); else two+=($(((b - a) / 1000000))); fi
    done
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
o=$(median "${one[@]}") t=$(median "${two[@]}")
echo "runs (ms), one drawing thread: ${one[*]}; two: ${two[*]}"
awk -v o="$o" -v t="$t" 'BEGIN { printf "median one %.0f ms, two %.0f ms, speed-up %.2f (target >= 1.8)\n", o, t, o / t }'
