#!/usr/bin/env bash
# mp4_bench.sh - H.264 MP4 export of the reference composition: Kelvane against ffmpeg encoding
# Kelvane's own uncompressed frames with the same encoder settings (the encoder's share), and
# against the peers' MP4 export of the same composition (ffmpeg filtergraph, melt qtblend).
#
# Usage: KELVANE_BIN=build/bin bench/peers/mp4_bench.sh
#
# Environment:
#   KELVANE_BIN  the build's bin folder (kelvane-render, make_reference_project), required
#   PEERS        the peer harness (comp.graph, comp_qtblend.mlt; default /work/shared/peers),
#                read only
#   MEDIA        folder with movie.mp4 and pic.png (default WORK/media; made as the harness
#                makes them when missing)
#   FRAMES       length of the composition (default 300)
#   RUNS         runs of each export whose median is taken (default 3)
#   WORK         scratch folder, never inside PEERS (default /tmp/kelvane-mp4-bench); it holds
#                one uncompressed AVI of FRAMES frames (8.3 MB a frame)
#   SKIP_MELT=1  leaves melt out
#
# The encoder settings of every row are Kelvane's defaults for .mp4: libx264, preset medium,
# CRF 18 (--quality 75), no B-frames, yuv420p studio range tagged BT.709, fragmented MP4.
# Rows (TSV on stdout, as the harness's): id, ms/frame, MP/s, fps and the runs, what, cpu ms/frame.
# Last, the ratios: Kelvane / encoder alone (target <= 1.10) and Kelvane against each peer.
set -euo pipefail

: "${KELVANE_BIN:?KELVANE_BIN must name the bin folder of the build}"
PEERS=${PEERS:-/work/shared/peers}
FRAMES=${FRAMES:-300}
RUNS=${RUNS:-3}
WORK=${WORK:-/tmp/kelvane-mp4-bench}
MEDIA=${MEDIA:-$WORK/media}
RENDER=$KELVANE_BIN/kelvane-render
TIME_BIN=/usr/bin/time

log() { printf '[%s] mp4: %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

for tool in "$RENDER" "$KELVANE_BIN/make_reference_project" "$TIME_BIN"; do
    [[ -x $tool ]] || { log "missing $tool"; exit 1; }
done
mkdir -p "$WORK" "$MEDIA"
if [[ ! -s $MEDIA/movie.mp4 ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=30:d=10 \
        -c:v libx264 -preset medium -crf 20 -pix_fmt yuv420p -g 60 "$MEDIA/movie.mp4"
fi
if [[ ! -s $MEDIA/pic.png ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i mandelbrot=s=800x600:end_pts=1 \
        -frames:v 1 -pix_fmt rgb24 "$MEDIA/pic.png"
fi

PROJECT=$WORK/reference.xqm
"$KELVANE_BIN/make_reference_project" "$MEDIA" "$PROJECT" "$FRAMES"

# The encoder as Kelvane sets it up, for the ffmpeg command lines.
X264=(-c:v libx264 -preset medium -crf 18 -bf 0 -pix_fmt yuv420p -color_range tv
    -colorspace bt709 -color_primaries bt709 -color_trc bt709
    -movflags frag_keyframe+empty_moov+default_base_moof -frag_duration 1000000)
SWS=(-sws_flags bicubic+accurate_rnd+full_chroma_int+bitexact
    -vf scale=out_color_matrix=bt709:out_range=tv)
FF=(ffmpeg -hide_banner -nostdin -loglevel error -y)

median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) exit 1; print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# timed ID OUT DESCRIPTION -- command...: RUNS runs, the frame count checked, one TSV row; the
# median wall seconds are left in $WORK/ID.median.
timed() {
    local id=$1 out=$2 desc=$3
    shift 4
    local times=() cpus=() r t0 t1 n
    for ((r = 1; r <= RUNS; r++)); do
        rm -f "$out"
        t0=$(date +%s%N)
        if ! "$TIME_BIN" -f '%U %S' -o "$WORK/$id.$r.time" timeout 1800 "$@" >"$WORK/$id.$r.log" 2>&1; then
            log "FAILED: $id (see $WORK/$id.$r.log)"
            return 1
        fi
        t1=$(date +%s%N)
        n=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
            -of csv=p=0 "$out")
        rm -f "$out"
        [[ $n == "$FRAMES" ]] || { log "FAILED: $id wrote $n frames, not $FRAMES"; return 1; }
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", (b - a) / 1e9}')")
        cpus+=("$(awk '{printf "%.2f", $1 + $2}' "$WORK/$id.$r.time")")
        log "  $id run $r: ${times[-1]} s wall, ${cpus[-1]} s cpu"
    done
    local med cmed
    med=$(printf '%s\n' "${times[@]}" | median)
    cmed=$(printf '%s\n' "${cpus[@]}" | median)
    echo "$med" >"$WORK/$id.median"
    awk -v id="$id" -v s="$med" -v c="$cmed" -v f="$FRAMES" -v d="$desc" -v all="${times[*]}" 'BEGIN {
        ms = s * 1000 / f
        printf "%s\t%.4f\t%.1f\t%.2f fps (runs: %s s)\t%s\t%.1f\n", id, ms, 2.0736 / (ms / 1000), f / s, all, d, c * 1000 / f }'
}

status=0
log "Kelvane -> MP4 ($RUNS runs)"
timed mp4.kelvane "$WORK/kelvane.mp4" "Kelvane -> MP4 H.264 (defaults)" -- \
    "$RENDER" "$PROJECT" -o "$WORK/kelvane.mp4" || status=1

log "our uncompressed frames (untimed), then ffmpeg encoding them"
"$RENDER" "$PROJECT" -o "$WORK/frames.avi" >"$WORK/frames.log" 2>&1 || { log "FAILED: frames.avi"; exit 1; }
timed mp4.encoder_alone "$WORK/alone.mp4" "ffmpeg libx264 alone on Kelvane's uncompressed frames" -- \
    "${FF[@]}" -i "$WORK/frames.avi" "${SWS[@]}" "${X264[@]}" "$WORK/alone.mp4" || status=1
rm -f "$WORK/frames.avi"

if [[ -f $PEERS/ffmpeg/comp.graph ]]; then
    log "ffmpeg filtergraph -> MP4"
    timed mp4.ffmpeg_graph "$WORK/graph.mp4" "ffmpeg filtergraph -> MP4 H.264, same settings" -- \
        "${FF[@]}" -i "$MEDIA/movie.mp4" -i "$MEDIA/pic.png" -i "$MEDIA/movie.mp4" \
        -filter_complex_script "$PEERS/ffmpeg/comp.graph" -map '[out]' -frames:v "$FRAMES" \
        "${X264[@]}" "$WORK/graph.mp4" || status=1
fi
if [[ ${SKIP_MELT:-0} != 1 && -f $PEERS/melt/comp_qtblend.mlt ]] && command -v melt >/dev/null; then
    log "melt qtblend -> MP4"
    # The composition with its media paths pointing at MEDIA and its length at FRAMES.
    sed -e "s|\.\./out/media/|$MEDIA/|g" -e "s|out=\"299\"|out=\"$((FRAMES - 1))\"|g" \
        "$PEERS/melt/comp_qtblend.mlt" >"$WORK/comp_qtblend.mlt"
    QT_QPA_PLATFORM=offscreen DISPLAY=${DISPLAY:-:0} timed mp4.melt "$WORK/melt.mp4" \
        "melt qtblend -> MP4 H.264, same settings" -- \
        melt -silent "$WORK/comp_qtblend.mlt" -consumer "avformat:$WORK/melt.mp4" vcodec=libx264 \
        preset=medium crf=18 bf=0 pix_fmt=yuv420p color_range=tv colorspace=709 an=1 \
        movflags=frag_keyframe+empty_moov+default_base_moof real_time=-2 || status=1
fi

ratio() {
    [[ -f $WORK/$1.median && -f $WORK/$2.median ]] || return 0
    awk -v a="$(cat "$WORK/$1.median")" -v b="$(cat "$WORK/$2.median")" -v t="$3" \
        'BEGIN {printf "# %s\t%.3f\n", t, a / b}'
}
ratio mp4.kelvane mp4.encoder_alone "Kelvane / encoder alone (wall; target <= 1.10)"
ratio mp4.kelvane mp4.ffmpeg_graph "Kelvane / ffmpeg filtergraph (wall; below 1 is faster)"
ratio mp4.kelvane mp4.melt "Kelvane / melt qtblend (wall; below 1 is faster)"
exit $status
