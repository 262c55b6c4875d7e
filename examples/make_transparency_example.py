#!/usr/bin/env python3
"""Makes the picture of the README's transparency section: a test-pattern movie with a PNG logo
whose edge fades out and a title with smooth edges over it, drawn once as projects without the
pixel flags draw them and once with them, side by side.

    examples/make_transparency_example.py build/bin docs/transparency.png [WORK_FOLDER]
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT, RATE, FRAMES = 320, 180, 30.0, 30
TITLE = "なめらかなタイトル"


def write_logo(path, size=96):
    """An RGBA PNG: an orange ring with a soft outer edge and a transparent hole and corners."""
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            r = ((x - size / 2 + 0.5) ** 2 + (y - size / 2 + 0.5) ** 2) ** 0.5
            outer = (size / 2 - 2 - r) / 8
            inner = (r - size / 5) / 2
            alpha = max(0.0, min(1.0, outer, inner))
            row += bytes([255, 140, 0, round(alpha * 255)])
        rows.append(bytes(row))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as handle:
        handle.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                     + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


def path_block(path):
    units = path.encode("utf-16-le")
    return units + bytes(520 - len(units))


def event(file_id, width, height, x, y, step=0):
    """An opaque parametric event showing the whole w x h image with its top left at (x, y)."""
    identity = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
    return (struct.pack("<IIii qq iiii Ii", 9, 0, file_id, 0, 0, step, 0, 0, width, height,
                        0x00FFFFFF, 0)
            + struct.pack("<9f", *identity) + struct.pack("<9f", *identity)
            + struct.pack("<6f", 0.0, 0.0, 1.0, 0.0, float(x), float(y)))


def write_project(path, movie, logo, with_flags):
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", WIDTH, HEIGHT, RATE,
                                                            FRAMES, 0, 0)
    data += struct.pack("<III", 4, 0, 1) + struct.pack("<q", 0) + path_block(movie)
    data += struct.pack("<I", 0xFF000000)
    data += struct.pack("<III", 4, 1, 2) + path_block(logo) + struct.pack("<I", 0xFF000000)
    font = struct.pack("<iiiii8B", -26, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0) + bytes(64)
    text = TITLE.encode("utf-16-le")
    block = 4 * (2 * len(TITLE) // 4) + 4
    data += struct.pack("<IIII", 4, 2, 3, 0x00FFFFFF ^ 0x808080) + font
    data += struct.pack("<I", block) + text + bytes(block - len(text))
    for track, record in enumerate([event(0, WIDTH, HEIGHT, 0, 0, int(1e7 / RATE)),
                                    event(1, 96, 96, 16, 12),
                                    event(2, WIDTH, 40, 16, 124)]):
        data += struct.pack("<III", 5, track, 1) + record
    if with_flags:  # the logo uses its alpha, the title has smooth edges
        data += struct.pack("<II", 0, 12 + 16) + b"KPIX" + struct.pack("<IIIIII", 1, 2, 1, 1, 2, 2)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    bin_folder, output = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="kelvane-alpha-")
    os.makedirs(work, exist_ok=True)
    movie = os.path.join(work, "pattern.avi")
    logo = os.path.join(work, "logo.png")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    f"testsrc2=s={WIDTH}x{HEIGHT}:r={int(RATE)}", "-frames:v", str(FRAMES),
                    "-c:v", "ffv1", movie], check=True)
    write_logo(logo)
    frames = []
    for with_flags in (False, True):
        project = os.path.join(work, f"alpha{int(with_flags)}.xqm")
        frame = os.path.join(work, f"frame{int(with_flags)}.bmp")
        write_project(project, movie, logo, with_flags)
        subprocess.run([os.path.join(bin_folder, "kelvane-render"), project, "--frame", "10",
                        "-o", frame], check=True)
        frames.append(frame)
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", frames[0], "-i",
                    frames[1], "-filter_complex", "[0][1]hstack=inputs=2", output], check=True)


if __name__ == "__main__":
    main()
