#!/usr/bin/env bash
# Plays the sound playback test through a PulseAudio server of its own (a null sink in a private
# runtime folder, ended by its PID) and records the sink's monitor with parec: the playback must
# be heard there, and the playback of a muted track must be silent.
# Usage: run-with-sound-server.sh TEST_PROGRAM SCRATCH_FOLDER
set -euo pipefail
program=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
export XDG_RUNTIME_DIR=$scratch HOME=$scratch QT_QPA_PLATFORM=offscreen
socket=$scratch/native
export PULSE_SERVER=unix:$socket

pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-null-sink sink_name=kelvane rate=48000" \
  -L "module-native-protocol-unix socket=$socket auth-anonymous=1" >"$scratch/server.log" 2>&1 &
server=$!
recorder=""
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null

# Plays one test function while the monitor is recorded; prints the loudest sample heard.
loudest_during() {
  local raw=$scratch/$1.raw
  parec -d kelvane.monitor --format=s16le --rate=48000 --channels=1 --raw >"$raw" &
  recorder=$!
  KELVANE_SOUND_SERVER=$PULSE_SERVER "$program" "$1" >"$scratch/$1.log" 2>&1 ||
    { cat "$scratch/$1.log"; return 1; }
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  recorder=""
  python3 -c 'import array,sys; a=array.array("h"); a.frombytes(open(sys.argv[1],"rb").read()); print(max((abs(x) for x in a), default=0))' "$raw"
}

heard=$(loudest_during withADeviceThePicturesFollowTheSoundHeard)
muted=$(loudest_during trackMuteFromTheMenuIsUndoableAndSilencesTheTrack)
echo "loudest sample: playing $heard, muted track $muted"
# The tone is an eighth of full scale (4096); a muted track leaves the sink silent.
[ "$heard" -gt 2000 ] || { echo "the playback was not heard" >&2; exit 1; }
[ "$muted" -lt 50 ] || { echo "the muted track was heard" >&2; exit 1; }
