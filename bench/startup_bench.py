#!/usr/bin/env python3
"""Start-up and random access of kelvane-render as whole processes.

    python3 bench/startup_bench.py BUILD_DIR [RUNS] [WORK_DIR]

Makes (once, in WORK_DIR, default /tmp/kelvane-startup) a 1920 x 1080 H.264 movie of 300 frames
with key frames every 250 (as bench section 1 makes it), a project showing that movie whole and an
empty 1080p project, then runs, alternating, RUNS times each (default 11):

  help         kelvane-render --help
  empty frame  kelvane-render EMPTY.xqm --frame 0 -o OUT.bmp
  movie frame  kelvane-render MOVIE.xqm --frame N -o OUT.bmp, N from a fixed pseudo-random series
  ffmpeg -ss   ffmpeg -nostdin -loglevel error -y -ss T -i MOVIE -frames:v 1 OUT.bmp, same N

and prints the medians and the 90th percentiles of the wall-clock times, the ratio of ffmpeg's
random frame to ours, the libraries each of our commands maps (LD_DEBUG=files, counting every
library the loader brings in, dlopen included) and, for one run of each of our commands, where the
time went (KELVANE_STEP_TIMES, see bench/README.md).
"""
import os
import random
import statistics
import subprocess
import sys
import time

MOVIE_FRAMES = 300
FPS = 30


def run(cmd, env=None):
    start = time.monotonic_ns()
    done = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = (time.monotonic_ns() - start) / 1e6
    if done.returncode != 0:
        sys.exit(f"failed ({done.returncode}): {' '.join(cmd)}\n{done.stderr.decode()}")
    return elapsed


def steps(cmd):
    env = dict(os.environ, KELVANE_STEP_TIMES=str(time.monotonic_ns()))
    done = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return [line.split("\t")[1:] for line in done.stderr.decode().splitlines()
            if line.startswith("step\t")]


def libraries(cmd):
    env = dict(os.environ, LD_DEBUG="files")
    done = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return sum(1 for line in done.stderr.decode().splitlines() if "generating link map" in line)


def p90(values):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(0.9 * (len(ordered) - 1))))]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    work = sys.argv[3] if len(sys.argv) > 3 else "/tmp/kelvane-startup"
    os.makedirs(work, exist_ok=True)
    render = os.path.join(build, "bin", "kelvane-render")
    maker = os.path.join(build, "bin", "make_reference_project")
    movie = os.path.join(work, "movie1080.mp4")
    if not os.path.exists(movie):
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        f"testsrc2=s=1920x1080:r={FPS}:d={MOVIE_FRAMES // FPS}", "-c:v", "libx264",
                        "-preset", "medium", "-g", "250", "-pix_fmt", "yuv420p", movie], check=True)
    empty = os.path.join(work, "empty.xqm")
    shown = os.path.join(work, "movie.xqm")
    subprocess.run([maker, "--empty", empty, str(MOVIE_FRAMES)], check=True)
    subprocess.run([maker, "--movie", movie, shown, str(MOVIE_FRAMES)], check=True)
    out = os.path.join(work, "out.bmp")

    series = random.Random(26).sample(range(MOVIE_FRAMES), min(runs, MOVIE_FRAMES))
    cases = {
        "help": lambda n: [render, "--help"],
        "empty frame": lambda n: [render, empty, "--frame", "0", "-o", out],
        "movie frame": lambda n: [render, shown, "--frame", str(n), "-o", out],
        "ffmpeg -ss": lambda n: ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-ss",
                                 f"{n / FPS:.6f}", "-i", movie, "-frames:v", "1", out],
    }
    for name, make in cases.items():  # warm the page cache once
        run(make(series[0]))
    times = {name: [] for name in cases}
    for n in series:
        for name, make in cases.items():
            times[name].append(run(make(n)))

    print(f"{runs} runs each, alternating; wall clock ms")
    print(f"{'command':14} {'median':>9} {'p90':>9} {'libraries':>10}")
    for name, values in times.items():
        libs = libraries(cases[name](series[0])) if name != "ffmpeg -ss" else ""
        print(f"{name:14} {statistics.median(values):9.1f} {p90(values):9.1f} {libs:>10}")
    ratio = statistics.median(times["ffmpeg -ss"]) / statistics.median(times["movie frame"])
    print(f"random frame: ffmpeg -ss / kelvane-render --frame = {ratio:.2f} (target >= 2)")
    for name in ("help", "empty frame", "movie frame"):
        print(f"\nsteps of one '{name}' run (ms, spans summed):")
        for step in steps(cases[name](series[0])):
            print("  " + "  ".join(step))


if __name__ == "__main__":
    main()
