"""Measuring picture against sound in the real program: a movie that clicks once a second and
shows its frame number, a PulseAudio server of our own whose only sink is a null sink (started
here, ended by its PID), the sink's monitor recorded with parec, and the paint times the program
logs (KELVANE_PLAYBACK_LOG). Both sides are on the machine's monotonic clock, so each click heard
can be set against the time the frame carrying it was painted. Shared by the click walkthrough and
the playback benchmark."""

import array
import os
import shutil
import statistics
import struct
import subprocess
import threading
import time

RATE = 48_000
# A click is a 5 ms burst of 2 kHz at 0.8 of full scale (26,214); heard where the level first
# passes this after at least QUIET seconds below it. Other sound up to 0.6 of full scale (the demo
# project's tone is 0.3) is not taken for a click.
CLICK_LEVEL = 20_000
QUIET = 0.3


class SyncError(AssertionError):
    pass


def wait_until(predicate, what, timeout=20.0, poll=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise SyncError(f"timed out waiting for {what}")
        time.sleep(poll)


def make_click_movie(path, seconds=6, size="320x240", fps=25, codec="mjpeg"):
    """A movie whose picture shows its frame number and whose sound clicks on every whole second
    (frames 0, fps, 2 fps, ...). PCM sound, so that nothing shifts it."""
    burst = "if(lt(mod(t\\,1)\\,0.005)\\,0.8*sin(2*PI*2000*t)\\,0)"
    video = (f"testsrc2=size={size}:rate={fps}:duration={seconds},"
             "drawtext=text='%{frame_num}':x=20:y=20:fontsize=96:fontcolor=white:box=1:"
             "boxcolor=black")
    quality = ["-q:v", "5"] if codec == "mjpeg" else ["-crf", "18", "-g", "25", "-pix_fmt", "yuv420p"]
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", video,
                    "-f", "lavfi", "-i", f"aevalsrc='{burst}|{burst}':s={RATE}:d={seconds}",
                    "-c:v", codec, *quality, "-c:a", "pcm_s16le", path],
                   check=True, timeout=300)
    return path


def _event_record(file_id, start, step, width, height):
    """One 152-byte event: Used and Parametric, the whole source as region, opaque white, scale
    1, identity matrices, the source from its beginning at `step` per frame."""
    identity = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
    return (struct.pack("<IIii qq iiii Ii", 9, start, file_id, 0, 0, step, 0, 0, width, height,
                        0x00FFFFFF, 0)
            + struct.pack("<9f", *identity) + struct.pack("<9f", *identity)
            + struct.pack("<6f", 0.0, 0.0, 1.0, 0.0, 0.0, 0.0))


def write_click_project(path, movie, width=320, height=240, fps=25, length=150,
                        movie_size=(320, 240)):
    """A version 2.0 project: the movie on track 0 from frame 0 at its own speed."""
    frame = round(10_000_000 / fps)
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", width, height, float(fps),
                                                            length, 0, 0)
    name = movie.encode("utf-16-le").ljust(520, b"\0")
    data += struct.pack("<IIIq", 4, 0, 1, 0) + name + struct.pack("<I", 0xFF000000)
    data += struct.pack("<III", 5, 0, 1) + _event_record(0, 0, frame, *movie_size)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)
    return path


class SoundServer:
    """A PulseAudio server in `folder` with one null sink, "kelvane", at 48 kHz. Clients reach it
    through `env`; stop() ends it by its PID."""

    def __init__(self, folder):
        for tool in ("pulseaudio", "pactl", "parec"):
            if shutil.which(tool) is None:
                raise SyncError(f"{tool} is missing; run scripts/install-deps")
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        socket = os.path.join(folder, "native")
        self.env = dict(os.environ, PULSE_SERVER=f"unix:{socket}", HOME=folder,
                        XDG_RUNTIME_DIR=folder)
        self.log = open(os.path.join(folder, "server.log"), "wb")
        self.process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "-L", f"module-null-sink sink_name=kelvane rate={RATE}",
             "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1"],
            env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            wait_until(self._answers, "the sound server to answer")
        except SyncError:
            self.stop()
            raise

    def _answers(self):
        if self.process.poll() is not None:
            raise SyncError(f"pulseaudio ended with status {self.process.returncode}")
        return subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode == 0

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


class MonitorRecording:
    """The sink's monitor as 16-bit mono, read as it comes. Each read notes when it arrived, so
    that the time of sample 0 on the monotonic clock is known to within the recorder's latency:
    no read can arrive before its last sample was captured."""

    def __init__(self, server):
        self.samples = array.array("h")
        self._pending = b""
        self._earliest = None  # min over reads of (arrival - samples so far / RATE)
        self._lock = threading.Lock()
        self.process = subprocess.Popen(
            ["parec", "-d", "kelvane.monitor", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--raw", "--latency-msec=10"],
            env=server.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        # Running once the first samples are in.
        wait_until(lambda: self.count() > RATE // 20, "the recorder's first samples")

    def _read(self):
        fd = self.process.stdout.fileno()
        while True:
            data = os.read(fd, 65536)
            arrived = time.monotonic()
            if not data:
                return
            with self._lock:
                data = self._pending + data
                whole = len(data) // 2 * 2
                self._pending = data[whole:]
                self.samples.frombytes(data[:whole])
                start = arrived - len(self.samples) / RATE
                if self._earliest is None or start < self._earliest:
                    self._earliest = start

    def count(self):
        with self._lock:
            return len(self.samples)

    def stop(self):
        """Ends parec by its PID; returns (samples, monotonic time of sample 0)."""
        self.process.terminate()
        self.process.wait(timeout=10)
        self._reader.join(timeout=10)
        with self._lock:
            return self.samples, self._earliest


def click_onsets(samples, level=CLICK_LEVEL, quiet=QUIET):
    """Indices where the level first passes `level` after `quiet` seconds below it."""
    onsets = []
    last_loud = -10 * RATE
    gap = int(quiet * RATE)
    for i, value in enumerate(samples):
        if value >= level or value <= -level:
            if i - last_loud > gap:
                onsets.append(i)
            last_loud = i
    return onsets


def loudest(samples):
    return max((abs(v) for v in samples), default=0)


def read_log(path, after_line=0):
    """[(kind, frame, seconds)] of the playback log's lines from `after_line` on."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="ascii") as handle:
        lines = handle.read().splitlines()[after_line:]
    result = []
    for line in lines:
        kind, frame, seconds = line.split()
        result.append((kind, int(frame), float(seconds)))
    return result


def log_length(path):
    if not os.path.exists(path):
        return 0
    with open(path, encoding="ascii") as handle:
        return len(handle.read().splitlines())


def sync_offsets(samples, sample0, paints, fps):
    """[(second, click time - paint time of the frame carrying it)] for each click heard whose
    frame was painted. The clicks lie on whole seconds of the movie, which plays from frame 0 at
    its own speed (round a looping selection too): a click is given to the nearest paint of a
    frame on a whole second."""
    seconds = [(frame, at) for kind, frame, at in paints if kind == "paint" and frame % fps == 0]
    if not any(kind == "paint" for kind, _, _ in paints):
        raise SyncError("no frame was painted")
    result = []
    for onset in click_onsets(samples):
        heard = sample0 + onset / RATE
        if not seconds:
            break
        distance, frame, at = min((abs(heard - at), frame, at) for frame, at in seconds)
        # Farther than half a second: the frame of this click was not painted (dropped).
        if distance < 0.5:
            result.append((frame // fps, heard - at))
    return result


def add_click_track(source, target, movie, movie_size, fps):
    """A copy of project file `source` as `target` with the click movie added on a free track
    from frame 0 at its own speed, in a corner, under a free file ID: the project's own events
    and settings are left as they are."""
    with open(source, "rb") as handle:
        data = handle.read()
    if data[:4] != b"MPRJ":
        raise SyncError(f"{source} is no project file")
    at, files, tracks, end = 4, set(), set(), None
    while at + 4 <= len(data):
        (tag,) = struct.unpack_from("<I", data, at)
        if tag == 2:
            end = at
            break
        at += 4
        if tag == 0:
            (size,) = struct.unpack_from("<I", data, at)
            at += 4 + size
        elif tag == 1:
            at += 4
        elif tag == 3:
            at += 520 + 4 * 2 + 8 + 4 * 3
        elif tag == 4:
            file_id, kind = struct.unpack_from("<II", data, at)
            files.add(file_id)
            if kind == 3:
                (block,) = struct.unpack_from("<I", data, at + 8 + 4 + 92)
                at += 8 + 4 + 92 + 4 + block
            else:
                at += 8 + (8 if kind == 1 else 0) + 520 + (0 if kind == 4 else 4)
        elif tag == 5:
            track, count = struct.unpack_from("<II", data, at)
            tracks.add(track)
            at += 8 + 152 * count
        elif tag == 6:
            at += 4 + 152
        else:
            raise SyncError(f"unexpected chunk {tag} in {source}")
    if end is None:
        raise SyncError(f"{source} has no end chunk")
    file_id = max(set(range(1024)) - files)
    track = max(set(range(256)) - tracks)
    name = movie.encode("utf-16-le").ljust(520, b"\0")
    added = struct.pack("<IIIq", 4, file_id, 1, 0) + name + struct.pack("<I", 0xFF000000)
    added += struct.pack("<III", 5, track, 1) + _event_record(file_id, 0, round(10_000_000 / fps),
                                                              *movie_size)
    with open(target, "wb") as handle:
        handle.write(data[:end] + added + data[end:])
    return target


def summary(offsets):
    """Median, 90th percentile of the size, and spread (max - min) of offsets in seconds."""
    values = sorted(offsets)
    sizes = sorted(abs(v) for v in values)
    p90 = sizes[min(len(sizes) - 1, int(round(0.9 * (len(sizes) - 1))))]
    return statistics.median(values), p90, values[-1] - values[0]
