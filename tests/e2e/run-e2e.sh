#!/usr/bin/env bash
# Runs one walkthrough of the acceptance tier: a private X server (Xvfb, no window manager), a
# private D-Bus session whose AT-SPI bus (at-spi-bus-launcher, started by D-Bus activation) lets
# the walkthrough see the program's widgets, and a hard time limit so that nothing can hang CI.
#
#   run-e2e.sh BIN_DIR SCRATCH_DIR SCREENSHOT_DIR WALKTHROUGH.py [TIME_LIMIT_SECONDS]
set -euo pipefail

bin_dir=$1
scratch=$2
screenshots=$(realpath -m "$3")
walkthrough=$4
limit=${5:-150}

python=/usr/bin/python3  # Debian's, which has pyatspi
for tool in Xvfb dbus-run-session "$python" import; do
  if ! command -v "$tool" >/dev/null; then
    echo "run-e2e: $tool is missing; run scripts/install-deps" >&2
    exit 1
  fi
done

name=$(basename "$walkthrough" .py)
scratch="$(realpath -m "$scratch/$name")"
rm -rf "$scratch"
mkdir -p "$scratch" "$screenshots"

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$scratch/display" \
  2>"$scratch/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 1 200); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "run-e2e: Xvfb did not start" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
[ -s "$scratch/display" ] || { echo "run-e2e: Xvfb did not report its display" >&2; exit 1; }
export DISPLAY=":$(tr -d '\n' <"$scratch/display")"

export KELVANE_E2E_BIN="$bin_dir" KELVANE_E2E_SCRATCH="$scratch" KELVANE_E2E_SCREENSHOTS="$screenshots"
export PYTHONPATH="$(dirname "$walkthrough")${PYTHONPATH:+:$PYTHONPATH}"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# The D-Bus daemon's note about file limits is noise in a container; everything else passes.
timeout --kill-after=10 "$limit" dbus-run-session -- "$python" "$walkthrough" \
  2> >(grep -v 'Failed to set fd limit' >&2)
