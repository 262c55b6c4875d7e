#!/usr/bin/env bash
# farm_test.sh BIN_DIR MAKE_LAYERED_PROJECT SCRATCH
#
# kelvane-farm on a real Slurm cluster of one node that this test starts under SCRATCH and stops
# again, pass or fail: a 4-part export of a project with a movie, interpolation and a nested
# project gives the frames of a one-machine export; joins of parts that do not fit are refused;
# a part that fails keeps the join from running and `kelvane-farm status` names it. The whole
# test stops itself after LIMIT seconds; a cluster that cannot start fails it with the reason.
set -uo pipefail

BIN=$(realpath "$1")
MAKE_PROJECT=$2
SCRATCH=$(realpath -m "$3")
LIMIT=${FARM_TEST_LIMIT:-90}
RENDER=$BIN/kelvane-render
FARM=$BIN/kelvane-farm
. "$(dirname "$0")/slurm-cluster.sh"

watchdog=
cleanup() {
    cluster_stop
    [[ -z $watchdog ]] || kill "$watchdog" 2>/dev/null
}
trap cleanup EXIT
trap 'echo "FAIL: the test ran longer than $LIMIT s" >&2; exit 1' USR1
# The watchdog signals this shell after LIMIT seconds; the exit trap then stops the daemons.
(
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$LIMIT" &
    sleeper=$!
    wait "$sleeper" && kill -USR1 $$
) &
watchdog=$!

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { printf '[%3d s] %s\n' "$SECONDS" "$*"; }

# Polls `kelvane-farm status JOB` until it no longer answers 3 (running) and echoes its last
# answer; fails after SECONDS_LEFT seconds.
wait_for_job() {
    local job=$1 seconds=$2 deadline=$((SECONDS + $2)) rc
    while :; do
        STATUS_TEXT=$(timeout 30 "$FARM" status "$job" 2>&1)
        rc=$?
        ((rc != 3)) && return "$rc"
        ((SECONDS < deadline)) || fail "job $job still running after $seconds s:"$'\n'"$STATUS_TEXT"
        sleep 0.5
    done
}

# Waits until Slurm no longer holds the given job ids.
wait_until_gone() {
    local deadline=$((SECONDS + 30)) id
    for id in "$@"; do
        while timeout 10 squeue -h -j "$id" 2>/dev/null | grep -q .; do
            ((SECONDS < deadline)) || fail "job $id still queued"
            sleep 0.5
        done
    done
}

framemd5() { timeout 60 ffmpeg -nostdin -v error -i "$1" -f framemd5 - 2>&1; }

for tool in "$RENDER" "$FARM" "$MAKE_PROJECT"; do
    [[ -x $tool ]] || fail "$tool is missing (build first)"
done
command -v ffmpeg >/dev/null || fail "ffmpeg is missing (scripts/install-deps)"
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
export KELVANE_FARM_STATE=$SCRATCH/farm-state

project=$(timeout 60 "$MAKE_PROJECT" "$SCRATCH/project") || fail "could not make the test project"
cluster_start "$SCRATCH/cluster" || fail "the Slurm cluster did not start: $CLUSTER_ERROR"
step "cluster of one node up ($(sinfo -h -o '%c') CPUs)"

timeout 60 "$RENDER" "$project" -o "$SCRATCH/single.mkv" >"$SCRATCH/single.log" 2>&1 ||
    fail "the one-machine export failed: $(cat "$SCRATCH/single.log")"
step "one-machine export written"

# --- a 4-part export joins into the one-machine export's frames (Matroska, FFV1) -------------
submitted=$(timeout 60 "$FARM" submit "$project" -o "$SCRATCH/farm.mkv" --parts 4 2>&1) ||
    fail "submit failed: $submitted"
array=$(sed -n 's/^部分のジョブ: \([0-9]*\).*/\1/p' <<<"$submitted")
[[ -n $array ]] || fail "submit printed no job id: $submitted"
step "submitted: job $array"
wait_for_job "$array" 45 || fail "the farm export failed:"$'\n'"$STATUS_TEXT"
step "joined: $(head -n 2 <<<"$STATUS_TEXT" | tail -n 1)"
framemd5 "$SCRATCH/single.mkv" >"$SCRATCH/single.md5"
framemd5 "$SCRATCH/farm.mkv" >"$SCRATCH/farm.md5"
frames=$(grep -vc '^#' "$SCRATCH/farm.md5")
[[ $frames == 24 ]] || fail "the joined file holds $frames frames, not 24"
cmp -s "$SCRATCH/single.md5" "$SCRATCH/farm.md5" ||
    fail "frames differ from the one-machine export:"$'\n'"$(diff "$SCRATCH/single.md5" "$SCRATCH/farm.md5")"
step "24 frames identical to the one-machine export (framemd5)"

# --- joins that do not fit are refused and write nothing ------------------------------------
work=$SCRATCH/farm.mkv.farm
refused=$("$RENDER" --join "$SCRATCH/bad.mkv" "$work/part-0000.mkv" "$work/part-0002.mkv" 2>&1) &&
    fail "a join with frames 6-11 missing succeeded"
[[ $refused == *"6-11 がありません"* ]] || fail "the refusal does not name the gap: $refused"
"$RENDER" "$project" -o "$SCRATCH/h264-6-11.mkv" --frames 6-11 --codec h264 >/dev/null 2>&1 ||
    fail "the H.264 part could not be written"
refused=$("$RENDER" --join "$SCRATCH/bad.mkv" "$work/part-0000.mkv" "$SCRATCH/h264-6-11.mkv" 2>&1) &&
    fail "a join of FFV1 and H.264 parts succeeded"
[[ $refused == *"圧縮形式が違います"* ]] || fail "the refusal does not name the codec: $refused"
[[ ! -e $SCRATCH/bad.mkv && ! -e $SCRATCH/bad.mkv.joining ]] || fail "a refused join wrote a file"
step "non-adjacent and mismatched joins refused"

# --- a part that fails keeps the join from running ------------------------------------------
cat >"$SCRATCH/failing-render" <<WRAPPER
#!/usr/bin/env bash
# The node that renders frames 12-17 fails; every other call goes through.
for a; do [[ \$a == 12-* ]] && { echo "simulated failure: frames \$a" >&2; exit 1; }; done
exec "$RENDER" "\$@"
WRAPPER
chmod +x "$SCRATCH/failing-render"
submitted=$(KELVANE_RENDER=$SCRATCH/failing-render timeout 60 "$FARM" submit "$project" \
    -o "$SCRATCH/failing.avi" --parts 4 2>&1) || fail "submit failed: $submitted"
array=$(sed -n 's/^部分のジョブ: \([0-9]*\).*/\1/p' <<<"$submitted")
join=$(sed -n 's/^結合のジョブ: \([0-9]*\).*/\1/p' <<<"$submitted")
wait_for_job "$array" 45
rc=$?
((rc == 1)) || fail "status answered $rc, not 1, for an export with a failed part:"$'\n'"$STATUS_TEXT"
wait_until_gone "$array" "$join"
timeout 30 "$FARM" status "$array" >"$SCRATCH/failing.status" 2>&1
cat "$SCRATCH/failing.status"
grep -q '^部分 2 (フレーム 12-17) が終了コード 1 で失敗しました' "$SCRATCH/failing.status" || fail "status does not name part 2"
grep -q 'simulated failure: frames 12-17' "$SCRATCH/failing.status" || fail "status does not quote the part's log"
grep -q '^部分 4 個: 完了 3、実行中 0、待機中 0、失敗 1' "$SCRATCH/failing.status" ||
    fail "status does not count 3 parts done and 1 failed"
grep -q '^結合: 実行されませんでした' "$SCRATCH/failing.status" || fail "status does not say the join did not run"
[[ ! -e $SCRATCH/failing.avi && ! -e $SCRATCH/failing.avi.farm/join.status ]] ||
    fail "the join ran although a part failed"
step "a failed part keeps the join from running and is named by status"
echo "PASS in $SECONDS s"
