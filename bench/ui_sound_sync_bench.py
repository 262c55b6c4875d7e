#!/usr/bin/env python3
"""Playback with sound in the real window: the demo project and the reference composition
(1920 x 1080), each with a sounding movie added (a small movie in a corner that clicks on every
whole second), played through a PulseAudio server of the benchmark's own (a null sink) under a
private Xvfb. For each: what ui_playback_bench reports (frames shown and dropped, Space to the
first frame, CPU while playing and after), and the offset between picture and sound: each click
recorded at the sink's monitor against the paint of the frame carrying it, as the click
walkthrough measures it (median, 90th percentile of the size, spread).

    python3 bench/ui_sound_sync_bench.py BUILD_DIR [SECONDS=10]

Needs the targets kelvane, ui_playback_bench, make_demo_project, make_reference_project and
picture-ffmpeg (without the picture plug-in the demo's pictures cannot be read, and the program
waits on its question about them), ffmpeg, Xvfb, pulseaudio and parec (scripts/install-deps)."""

import math
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from sound_sync import (MonitorRecording, SoundServer, add_click_track, make_click_movie,  # noqa
                        read_log, summary, sync_offsets, wait_until)

CLICK_SIZE = (160, 120)


def settings(path):
    """(width, height, frames per second, length) of a project file's settings chunk."""
    with open(path, "rb") as handle:
        data = handle.read()
    at = 4
    while True:
        (tag,) = struct.unpack_from("<I", data, at)
        if tag == 3:
            return struct.unpack_from("<IIdI", data, at + 4 + 520)
        if tag == 1:
            at += 8
        elif tag == 0:
            at += 8 + struct.unpack_from("<I", data, at + 4)[0]
        else:
            raise ValueError(f"{path}: no settings before chunk {tag}")


def start_xvfb(work):
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as display:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(display.fileno()), "-screen", "0",
                                 "1280x800x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(display.fileno(),), stderr=subprocess.DEVNULL)
    number = wait_until(lambda: open(display_file).read().strip(), "Xvfb's display")
    return xvfb, f":{number}"


def reference_project(build, work):
    media = os.path.join(work, "media")
    os.makedirs(media, exist_ok=True)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc2=s=1280x720:r=30:d=10", "-c:v", "libx264", "-preset", "medium",
                    "-crf", "20", "-pix_fmt", "yuv420p", "-g", "60",
                    os.path.join(media, "movie.mp4")], check=True)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    "mandelbrot=s=800x600:end_pts=1", "-frames:v", "1", "-pix_fmt", "rgb24",
                    os.path.join(media, "pic.png")], check=True)
    path = os.path.join(work, "reference.xqm")
    subprocess.run([os.path.join(build, "bin", "make_reference_project"), media, path, "300"],
                   check=True, stdout=subprocess.DEVNULL)
    return path


def measure(build, server, display, project, seconds, name):
    _, _, rate, length = settings(project)
    fps = round(rate)
    folder = os.path.dirname(project)
    movie = make_click_movie(os.path.join(folder, f"{name}-click.avi"),
                             math.ceil(length / rate), size="x".join(map(str, CLICK_SIZE)),
                             fps=fps)
    sounding = add_click_track(project, os.path.join(folder, f"{name}-sound.xqm"), movie,
                               CLICK_SIZE, fps)
    log = os.path.join(folder, f"{name}-playback.log")
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               PULSE_SERVER=server.env["PULSE_SERVER"], KELVANE_PLAYBACK_LOG=log)
    recording = MonitorRecording(server)
    try:
        result = subprocess.run([os.path.join(build, "bin", "ui_playback_bench"), sounding,
                                 str(seconds)], env=env, check=True, capture_output=True,
                                text=True, timeout=seconds + 120)
    finally:
        samples, sample0 = recording.stop()
    print(result.stdout.rstrip())
    offsets = [o for second, o in sync_offsets(samples, sample0, read_log(log), fps)]
    if "音声の出力装置" in result.stdout + result.stderr:
        print("sound        none: the device was not used")
    if offsets:
        median, p90, spread = summary(offsets)
        print(f"picture to sound  median {1000 * median:+.1f} ms, 90th percentile of the size "
              f"{1000 * p90:.1f} ms, spread {1000 * spread:.1f} ms ({len(offsets)} clicks; "
              "negative: heard before the frame was painted)")
    else:
        print("picture to sound  no click heard with its frame")


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    build = os.path.realpath(sys.argv[1])
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    with tempfile.TemporaryDirectory() as work:
        xvfb, display = start_xvfb(work)
        server = SoundServer(os.path.join(work, "sound"))
        try:
            subprocess.run([os.path.join(build, "bin", "make_demo_project"),
                            os.path.join(work, "demo")], check=True, stdout=subprocess.DEVNULL)
            measure(build, server, display, os.path.join(work, "demo", "demo.xqm"), seconds,
                    "demo")
            print()
            measure(build, server, display, reference_project(build, work), seconds, "reference")
        finally:
            server.stop()
            xvfb.terminate()
            xvfb.wait()


if __name__ == "__main__":
    main()
