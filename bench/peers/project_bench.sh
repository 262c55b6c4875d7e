#!/usr/bin/env bash
# project_bench.sh - the reference composition exported by Kelvane, in the peer harness's run.
#
# The harness runs it from its own folder with MEDIA (the folder holding movie.mp4 and pic.png)
# and FRAMES (300) in the environment, and takes the TSV rows it prints on stdout:
#   id <TAB> ms_per_frame <TAB> mpix_per_s <TAB> extra <TAB> description <TAB> cpu_ms_per_frame
# Progress and failures go to stderr.
#
# Environment:
#   KELVANE_BIN     the build's bin folder (make_reference_project, kelvane-render and
#                   export_bench), required
#   KELVANE_RENDER  the export command (default: $KELVANE_BIN/kelvane-render); it is called as
#                   KELVANE_RENDER PROJECT.xqm -o OUT.avi [--codec ffv1]
#   RUNS            runs of each export whose median is taken (default 3)
#   LONG_FRAMES     length of the long export for the memory rows (default 3000; 0 skips them)
#   PEAK_CODEC      codec of the two memory rows (default ffv1: 3000 uncompressed frames are 25 GB)
#   WORK            scratch folder (default out/project under the current folder)
#
# Rows: project.export.{rawvideo,ffv1} (FRAMES frames, wall and cpu ms per frame, median of
# RUNS), project.encoder_alone.{rawvideo,ffv1} (export_bench: the same FRAMES frames rendered
# into memory first, then fed to the writer alone in the same process; the extra column holds the
# export's time over the encoder's, both from that one process), and project.peak_rss.{short,long}
# (one export of FRAMES and of LONG_FRAMES frames with PEAK_CODEC). The export rows carry the
# export process's peak resident set in their extra column.
set -euo pipefail

: "${MEDIA:?MEDIA must name the media folder}"
: "${KELVANE_BIN:?KELVANE_BIN must name the bin folder of the build}"
FRAMES=${FRAMES:-300}
RUNS=${RUNS:-3}
LONG_FRAMES=${LONG_FRAMES:-3000}
PEAK_CODEC=${PEAK_CODEC:-ffv1}
WORK=${WORK:-out/project}
RENDER=${KELVANE_RENDER:-$KELVANE_BIN/kelvane-render}
MAKE_PROJECT=$KELVANE_BIN/make_reference_project
TIME_BIN=/usr/bin/time # GNU time: user, system and peak RSS of the export

log() { printf '[%s] project: %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

for tool in "$RENDER" "$MAKE_PROJECT" "$TIME_BIN"; do
    if [[ ! -x $tool ]]; then
        log "missing $tool"
        exit 1
    fi
done
mkdir -p "$WORK"

# median of the numbers on stdin
median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) exit 1; print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# video frames of an AVI file: the header's count, else the packets
frames_of() {
    local n
    n=$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$1" 2>/dev/null || true)
    if [[ -z $n || $n == N/A ]]; then
        n=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
            -of csv=p=0 "$1" 2>/dev/null || true)
    fi
    echo "${n:-0}"
}

PROJECT=$WORK/reference.xqm
"$MAKE_PROJECT" "$MEDIA" "$PROJECT" "$FRAMES"

# export_rows ID RUNS FRAMES PROJECT DESCRIPTION [codec args...]
#   Exports RUNS times, checks the frame count, prints the TSV row of the medians and leaves the
#   median peak RSS (kB) in $WORK/ID.peak.
export_rows() {
    local id=$1 runs=$2 frames=$3 project=$4 desc=$5
    shift 5
    local out=$WORK/$id.avi times=() cpus=() peaks=() r t0 t1 n
    for ((r = 1; r <= runs; r++)); do
        rm -f "$out"
        t0=$(date +%s%N)
        if ! (ulimit -f 41943040; "$TIME_BIN" -f '%U %S %M' -o "$WORK/$id.$r.time" \
            timeout 1800 "$RENDER" "$project" -o "$out" "$@") >"$WORK/$id.$r.log" 2>&1; then
            log "FAILED: $id (see $WORK/$id.$r.log)"
            rm -f "$out"
            return 1
        fi
        t1=$(date +%s%N)
        n=$(frames_of "$out")
        rm -f "$out"
        if [[ $n != "$frames" ]]; then
            log "FAILED: $id wrote $n frames, not $frames"
            return 1
        fi
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", (b - a) / 1e9}')")
        cpus+=("$(awk '{printf "%.2f", $1 + $2}' "$WORK/$id.$r.time")")
        peaks+=("$(awk '{print $3}' "$WORK/$id.$r.time")")
        log "  $id run $r: ${times[-1]} s wall, ${cpus[-1]} s cpu, peak ${peaks[-1]} kB"
    done
    local med cmed peak
    med=$(printf '%s\n' "${times[@]}" | median)
    cmed=$(printf '%s\n' "${cpus[@]}" | median)
    peak=$(printf '%s\n' "${peaks[@]}" | median)
    echo "$peak" >"$WORK/$id.peak"
    awk -v id="$id" -v s="$med" -v c="$cmed" -v f="$frames" -v d="$desc" -v all="${times[*]}" \
        -v pk="$peak" 'BEGIN {
        ms = s * 1000 / f
        printf "%s\t%.4f\t%.1f\t%.2f fps, peak %.0f MB (runs: %s s)\t%s\t%.1f\n", id, ms, 2.0736 / (ms / 1000), f / s, pk / 1024, all, d, c * 1000 / f
    }'
}

status=0
log "exports ($RUNS runs each)"
export_rows project.export.rawvideo "$RUNS" "$FRAMES" "$PROJECT" \
    "Kelvane -> AVI uncompressed 32-bit (default workers)" || status=1
export_rows project.export.ffv1 "$RUNS" "$FRAMES" "$PROJECT" \
    "Kelvane -> AVI ffv1 (default workers)" --codec ffv1 || status=1

# The export against its encoder alone, in one process each (export_bench holds FRAMES frames in
# memory: 2.5 GB for 300 frames of 1920 x 1080).
encoder_rows() {
    local id=$1 codec=$2 out=$WORK/$1.avi log=$WORK/$1.log
    if ! "$KELVANE_BIN/export_bench" "$PROJECT" -o "$out" --codec "$codec" >"$log" 2>&1; then
        log "FAILED: $id (see $log)"
        rm -f "$out"
        return 1
    fi
    rm -f "$out"
    awk -v id="$id" -v codec="$codec" '
        /^export \(/ { for (i = 1; i <= NF; i++) if ($i == "ms/frame" && $(i - 1) != "cpu") ems = $(i - 1) }
        /^encoder alone/ { for (i = 1; i <= NF; i++) { if ($i == "ms/frame" && $(i - 1) != "cpu") ms = $(i - 1); if ($i == "cpu" && $(i + 1) == "ms/frame") cpu = $(i - 1) } }
        /^export \/ encoder alone/ { ratio = $5 }
        END { printf "%s\t%.4f\t%.1f\texport %.2f ms/frame in the same process, export / encoder alone %s\tencoder alone (%s), pre-rendered frames\t%.1f\n", id, ms, 2.0736 / (ms / 1000), ems, ratio, codec, cpu }' "$log"
}
if [[ -x $KELVANE_BIN/export_bench ]]; then
    log "encoder alone (export_bench)"
    encoder_rows project.encoder_alone.rawvideo uncompressed || status=1
    encoder_rows project.encoder_alone.ffv1 ffv1 || status=1
fi

# Memory of a long export: the same composition over LONG_FRAMES frames against FRAMES frames,
# one run each. The peak should not grow with the length.
if ((LONG_FRAMES > 0)); then
    codec_args=()
    [[ $PEAK_CODEC != uncompressed ]] && codec_args=(--codec "$PEAK_CODEC")
    LONG_PROJECT=$WORK/reference_long.xqm
    "$MAKE_PROJECT" "$MEDIA" "$LONG_PROJECT" "$LONG_FRAMES"
    if export_rows project.peak_rss.short 1 "$FRAMES" "$PROJECT" \
        "peak RSS, $FRAMES-frame export, $PEAK_CODEC" "${codec_args[@]}" &&
        export_rows project.peak_rss.long 1 "$LONG_FRAMES" "$LONG_PROJECT" \
            "peak RSS, $LONG_FRAMES-frame export, $PEAK_CODEC" "${codec_args[@]}"; then
        short_kb=$(cat "$WORK/project.peak_rss.short.peak")
        long_kb=$(cat "$WORK/project.peak_rss.long.peak")
        log "peak RSS: $FRAMES frames $((short_kb / 1024)) MB, $LONG_FRAMES frames $((long_kb / 1024)) MB ($(awk -v a="$long_kb" -v b="$short_kb" 'BEGIN {printf "%+.1f%%", (a / b - 1) * 100}'))"
    else
        status=1
    fi
fi
exit $status
