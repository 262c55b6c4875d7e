#!/usr/bin/env bash
# farm_split_join.sh - the reference composition of the peer harness exported once whole and once
# as 2 frame ranges rendered at the same time and joined, in one run, for uncompressed and FFV1
# output; checks that both give the same frames and prints what docs/distributed.md quotes.
#
#   bench/farm_split_join.sh BUILD_BIN_DIR [WORK_DIR] [FRAMES]
#
# WORK_DIR (default /tmp/kelvane-farm-bench) receives the media, the project and the AVI files;
# the AVI files are deleted after each codec (the uncompressed ones are 2.5 GB each at 300 frames).
# Prints one line per measurement: what, wall seconds, cpu seconds (user + system), bytes.
set -euo pipefail

BIN=$(realpath "$1")
WORK=${2:-/tmp/kelvane-farm-bench}
FRAMES=${3:-300}
RENDER=$BIN/kelvane-render
TIME=/usr/bin/time
mkdir -p "$WORK/media"
cd "$WORK"

# The harness's media (its README, section 3).
[[ -f media/movie.mp4 ]] || ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=s=1280x720:r=30:d=10 \
    -c:v libx264 -preset medium -crf 20 -pix_fmt yuv420p -g 60 media/movie.mp4
[[ -f media/pic.png ]] || ffmpeg -nostdin -loglevel error -f lavfi -i mandelbrot=s=800x600:end_pts=1 \
    -frames:v 1 -pix_fmt rgb24 media/pic.png
"$BIN/make_reference_project" media reference.xqm "$FRAMES"

# timed NAME COMMAND...: runs it under GNU time and prints "NAME wall cpu".
timed() {
    local name=$1
    shift
    "$TIME" -f "%e %U %S" -o "$name.time" "$@" >"$name.log" 2>&1 || {
        echo "FAILED: $name (see $WORK/$name.log)" >&2
        exit 1
    }
    awk -v n="$name" '{printf "%-28s wall %7.2f s  cpu %7.2f s\n", n, $1, $2 + $3}' "$name.time"
}
wall() { awk '{print $1}' "$1.time"; }
md5s() { ffmpeg -nostdin -v error -i "$1" -f framemd5 - | grep -v '^#software'; }

half=$((FRAMES / 2))
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at $(date -u +%H:%M:%S) UTC"
for codec in uncompressed ffv1; do
    args=()
    [[ $codec == uncompressed ]] || args=(--codec "$codec")
    timed "$codec.full" "$RENDER" reference.xqm -o "$codec-full.avi" "${args[@]}"
    # Both parts at once, as two nodes would; the wall time is the slower one's.
    start=$(date +%s.%N)
    timed "$codec.part0" "$RENDER" reference.xqm -o "$codec-part0.avi" --frames "0-$((half - 1))" "${args[@]}" &
    p0=$!
    timed "$codec.part1" "$RENDER" reference.xqm -o "$codec-part1.avi" --frames "$half-$((FRAMES - 1))" "${args[@]}" &
    p1=$!
    wait "$p0" && wait "$p1"
    parts_wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
    echo "$codec.parts (both)            wall $parts_wall s"
    timed "$codec.join" "$RENDER" --join "$codec-joined.avi" "$codec-part0.avi" "$codec-part1.avi"
    # The join's cost against a plain copy of the same bytes in the same run.
    sync
    timed "$codec.cp" cp "$codec-part0.avi" "$codec-copy.avi"
    bytes=$(stat -c %s "$codec-full.avi")
    joined_bytes=$(stat -c %s "$codec-joined.avi")
    part_bytes=$(stat -c %s "$codec-part0.avi")
    if cmp -s <(md5s "$codec-full.avi") <(md5s "$codec-joined.avi"); then same=identical; else same=DIFFERENT; fi
    echo "$codec: full $bytes bytes, joined $joined_bytes bytes; frames $same (framemd5)"
    awk -v f="$FRAMES" -v full="$(wall "$codec.full")" -v parts="$parts_wall" \
        -v join="$(wall "$codec.join")" -v b="$bytes" -v pb="$part_bytes" -v cp="$(wall "$codec.cp")" 'BEGIN {
        printf "%s: full %.1f fps; 2 parts at once %.1f fps; parts + join %.1f fps; %.2f MB/frame\n",
            "'"$codec"'", f / full, f / parts, f / (parts + join), b / f / 1e6
        printf "%s: join %.0f MB/s, cp of one part %.0f MB/s\n", "'"$codec"'", b / join / 1e6, pb / cp / 1e6
    }'
    rm -f "$codec"-*.avi
done
