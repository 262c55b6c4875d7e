"""A picture with a transparent background, as a new user adds one: through "ファイルの追加" with
its path, put on the timeline with Insert, and saved. The saved project keeps the entry's alpha
flag, and kelvane-render draws the picture's soft disc over the background without a box."""

import os
import struct
import subprocess
import zlib

from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, children, choose_file, click, is_enabled, open_menu,
                           run,
                           saved_skip_chunks, saved_tracks, screenshot, set_text, start, wait_for,
                           BIN, SCREENSHOTS)

INSERT = 0xFF63


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def write_disc_png(path, size=48):
    """An RGBA PNG: a red disc, opaque in the middle and fading out towards its rim."""
    rows = []
    for y in range(size):
        row = bytearray([0])  # filter: none
        for x in range(size):
            r = ((x - size / 2 + 0.5) ** 2 + (y - size / 2 + 0.5) ** 2) ** 0.5
            alpha = max(0, min(255, round((size / 2 - 2 - r) / 6 * 255)))
            row += bytes([255, 0, 0, alpha])
        rows.append(bytes(row))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
    with open(path, "wb") as handle:
        handle.write(data)


def write_project(path):
    """An empty version 2.0 project of 64 x 48 on a blue background (0x00BBGGRR)."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 64, 48, 30.0, 30,
                                                            0x00C00000, 0)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def bmp_pixel(path, x, y):
    """(r, g, b) of pixel (x, y), y from the top, of a 32-bit bottom-up BMP file."""
    with open(path, "rb") as handle:
        data = handle.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    b, g, r = data[offset + 4 * ((height - 1 - y) * width + x):][:3]
    return r, g, b


def picture_with_alpha_from_the_window_to_the_renderer(scratch):
    picture = os.path.join(scratch, "logo.png")
    write_disc_png(picture)
    project = os.path.join(scratch, "start.xqm")
    write_project(project)
    kelvane = start(scratch, project)
    main = kelvane.main_window("start.xqm - Kelvane")
    files = kelvane.find(main, "list", "ファイル一覧")
    click(files)

    # A new entry: the path typed into the file dialog; its alpha is used unless unticked.
    open_menu(kelvane, main, "編集(E)", "ファイルの追加(N)...")
    dialog = kelvane.window_named("ファイルのプロパティ")
    set_text(kelvane.find(dialog, "text", "使用するファイルのパス"), picture)
    use_alpha = kelvane.find(dialog, "check box", "アルファチャンネルを使用(A)")
    expect(is_enabled(use_alpha), "the alpha check box is disabled for a new file")
    screenshot(os.path.join(SCREENSHOTS, "alpha-file-dialog.png"), dialog)
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("ファイルのプロパティ")
    def picture_row():
        kelvane.refresh()
        return next((c for c in children(files) if "logo.png" in (c.name or "")), None)

    row = wait_for(picture_row, "the picture's row in the file list")
    expect(" α" in row.name, f"the row does not mark the alpha: {row.name!r}")

    # Insert puts the current file on the timeline at the cursor, as a drop there would.
    click(row)
    Atspi.generate_keyboard_event(INSERT, None, Atspi.KeySynthType.SYM)
    saved = os.path.join(scratch, "logo")
    open_menu(kelvane, main, "ファイル(F)", "名前を付けて保存(A)...")
    choose_file(kelvane, "名前を付けて保存", saved, "保存(S)")
    saved += ".xqm"
    wait_for(lambda: os.path.exists(saved) and saved_tracks(saved), "the saved event")
    main = kelvane.main_window("logo.xqm - Kelvane")
    screenshot(os.path.join(SCREENSHOTS, "alpha-window.png"), main)
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")

    tracks = saved_tracks(saved)
    file_id = tracks[0][0][1]
    chunk = saved_skip_chunks(saved).get("KPIX")
    expect(chunk is not None, "no KPIX chunk in the saved project")
    version, count = struct.unpack_from("<II", chunk, 0)
    records = [struct.unpack_from("<II", chunk, 8 + 8 * i) for i in range(count)]
    expect(version == 1 and records == [(file_id, 1)], f"KPIX {version} {records}")

    frame = os.path.join(scratch, "frame.bmp")
    subprocess.run([os.path.join(BIN, "kelvane-render"), saved, "--frame", "0", "-o", frame],
                   check=True, timeout=60)
    # The picture lies at the top left: its transparent corner shows the background.
    corner = bmp_pixel(frame, 1, 1)
    middle = bmp_pixel(frame, 24, 24)
    rim = [bmp_pixel(frame, x, 24) for x in range(24, 48)]
    expect(corner == (0, 0, 0xC0), f"the picture's corner is not the background: {corner}")
    expect(middle == (255, 0, 0), f"the disc's middle is {middle}")
    expect(any(0 < r < 255 and b > 0 for r, _, b in rim), f"no soft rim: {rim}")


if __name__ == "__main__":
    run([picture_with_alpha_from_the_window_to_the_renderer])
