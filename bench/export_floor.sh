#!/usr/bin/env bash
# The uncompressed export against the floor of writing the same bytes to the same disk.
#
#   bench/export_floor.sh BUILD_DIR PROJECT.xqm OUT_DIR [RUNS]
#
# Alternating RUNS times (default 5): kelvane-render PROJECT -o OUT_DIR/export.avi (uncompressed),
# then dd writing as many bytes, one frame (width x height x 4) per write, from /dev/zero into
# OUT_DIR/floor.bin, first into the page cache as the export writes, then again with
# conv=fdatasync (until the bytes are on the disk). Each file is removed before the next run.
# Prints the medians in ms per frame and the export over the page-cache floor.
set -euo pipefail
build=$1 project=$2 dir=$3 runs=${4:-5}
render="$build/bin/kelvane-render"
mkdir -p "$dir"
ms() { date +%s%N; }
export_ms=() floor_ms=() sync_ms=()
frames=0 frame_bytes=0
for ((i = 0; i < runs; i++)); do
    rm -f "$dir/export.avi" "$dir/floor.bin"
    sync
    a=$(ms); "$render" "$project" -o "$dir/export.avi" >/dev/null 2>&1; b=$(ms)
    export_ms+=($(((b - a) / 1000000)))
    if ((frames == 0)); then
        read -r w h frames < <(ffprobe -v error -select_streams v:0 -count_packets \
            -show_entries stream=width,height,nb_read_packets -of csv=p=0 "$dir/export.avi" |
            tr ',' ' ')
        frame_bytes=$((w * h * 4))
    fi
    rm -f "$dir/export.avi"
    sync
    a=$(ms); dd if=/dev/zero of="$dir/floor.bin" bs=$frame_bytes count="$frames" status=none; b=$(ms)
    floor_ms+=($(((b - a) / 1000000)))
    rm -f "$dir/floor.bin"
    sync
    a=$(ms)
    dd if=/dev/zero of="$dir/floor.bin" bs=$frame_bytes count="$frames" conv=fdatasync status=none
    b=$(ms)
    sync_ms+=($(((b - a) / 1000000)))
    rm -f "$dir/floor.bin"
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
e=$(median "${export_ms[@]}") f=$(median "${floor_ms[@]}") s=$(median "${sync_ms[@]}")
echo "$frames frames of $frame_bytes bytes, $runs runs, medians (whole commands):"
awk -v e="$e" -v f="$f" -v s="$s" -v n="$frames" 'BEGIN {
    printf "export (kelvane-render, uncompressed)   %8.0f ms  %6.2f ms/frame\n", e, e / n
    printf "dd, same bytes, page cache              %8.0f ms  %6.2f ms/frame\n", f, f / n
    printf "dd, same bytes, fdatasync               %8.0f ms  %6.2f ms/frame\n", s, s / n
    printf "export / page-cache floor: %.2f\n", e / f }'
