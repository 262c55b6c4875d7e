#!/usr/bin/env python3
"""Start-up and idle cost of the window, measured on whole runs of the real program under Xvfb.

  bench/ui_frame_startup.py BUILD_DIR [RUNS]

Start-up: from just before the program is started to its first painted main window (the program
reports the moment with KELVANE_FIRST_PAINT=exit and ends), with a new project and with the demo
project (`make demo`), the two interleaved run by run; medians and their ratio. Idle: the window
with the demo project open, left alone for 10 s after its first paint: CPU time used and resident
memory."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def start_xvfb(scratch):
    display_file = os.path.join(scratch, "display")
    with open(display_file, "w") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0",
                                 "1280x800x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(out.fileno(),), stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        with open(display_file) as handle:
            number = handle.read().strip()
        if number:
            return xvfb, ":" + number
        time.sleep(0.05)
    xvfb.kill()
    raise SystemExit("Xvfb did not start")


def private_copy(bin_dir, scratch):
    folder = os.path.join(scratch, "bin")
    os.makedirs(folder)
    for name in os.listdir(bin_dir):
        if name == "kelvane" or name.endswith((".so", ".spi")):
            shutil.copy2(os.path.join(bin_dir, name), folder)
    return os.path.join(folder, "kelvane")


def launch(program, args, env, mode):
    run_env = dict(env, KELVANE_FIRST_PAINT=mode)
    began = time.monotonic_ns()
    process = subprocess.Popen([program, *args], env=run_env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    line = process.stdout.readline().split()
    if len(line) != 2 or line[0] != "first-paint":
        process.kill()
        raise SystemExit(f"no first paint reported by {program} {args}")
    return process, (int(line[1]) - began) / 1e6


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as handle:
        for line in handle:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    demo = os.path.abspath(os.path.join(build, "demo", "demo.xqm"))
    if not os.path.exists(demo):
        raise SystemExit(f"{demo} is missing: run `make demo` first")
    scratch = tempfile.mkdtemp(prefix="kelvane-startup-")
    xvfb, display = start_xvfb(scratch)
    try:
        program = private_copy(os.path.join(build, "bin"), scratch)
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                   XDG_RUNTIME_DIR=os.path.join(scratch, "runtime"))
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        launch(program, [], env, "exit")[0].wait()  # warm the file cache once
        times = {"empty": [], "demo": []}
        for _ in range(runs):
            for case, args in (("empty", []), ("demo", [demo])):
                process, ms = launch(program, args, env, "exit")
                if process.wait(timeout=60) != 0:
                    raise SystemExit(f"{case}: exit status {process.returncode}")
                times[case].append(ms)
        empty = statistics.median(times["empty"])
        loaded = statistics.median(times["demo"])
        print(f"start-up to first paint, median of {runs} runs:")
        print(f"  new project   {empty:7.1f} ms  (min {min(times['empty']):.1f}, max {max(times['empty']):.1f})")
        print(f"  demo project  {loaded:7.1f} ms  (min {min(times['demo']):.1f}, max {max(times['demo']):.1f})")
        print(f"  ratio demo / new  {loaded / empty:.2f}")

        process, _ = launch(program, [demo], env, "report")
        before = cpu_seconds(process.pid)
        began = time.monotonic()
        time.sleep(10)  # the quantity measured: what the idle window costs over 10 s
        used = cpu_seconds(process.pid) - before
        elapsed = time.monotonic() - began
        rss = rss_kib(process.pid)
        process.kill()
        process.wait()
        print(f"idle window with the demo project over {elapsed:.1f} s: CPU {used:.2f} s "
              f"({100 * used / elapsed:.2f} %), resident memory {rss / 1024:.1f} MiB")
    finally:
        xvfb.kill()
        xvfb.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
