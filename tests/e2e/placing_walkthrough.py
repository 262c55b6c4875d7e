"""Placing by hand and media that moved, over AT-SPI: a drag in the preview moves the event under
the pointer and the saved file has it moved; a project whose media folder was renamed asks about
its first file, takes the place the user points at, and finds the others of that folder itself."""

import os
import struct
import time

import pyatspi
from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, centre, choose_file, click, open_menu, run,
                           saved_project, screenshot, start, wait_for, SCREENSHOTS)

RECORD = 152
POSITION = (144, 148)  # positionX, positionY in an event record
MATRIX = 56  # the forward matrix, nine floats


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def write_picture(path, width, height, colour):
    """A BMP file of 32-bit pixels, bottom row first."""
    pixels = struct.pack("<I", colour) * (width * height)
    head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as handle:
        handle.write(head + info + pixels)


def event_record(file_id, width, height, x, y):
    """A used, parametric event at frame 0 showing the whole picture at (x, y)."""
    identity = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
    return (struct.pack("<IIii qq iiii Ii", 1 | 8, 0, file_id, 0, 0, 0, 0, 0, width, height,
                        0x00FFFFFF, 0)
            + struct.pack("<9f", *identity) + struct.pack("<9f", *identity)
            + struct.pack("<6f", 0.0, 0.0, 1.0, 0.0, float(x), float(y)))


def write_project(path, pictures, events):
    """A version 2.0 project of 320 x 240 at 30 frames per second, 100 frames long: the pictures
    (paths as the file names them) as files 0, 1, ... and one event per track."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, 100, 0, 0)
    for file_id, picture in enumerate(pictures):
        name = picture.encode("utf-16-le")
        data += struct.pack("<III", 4, file_id, 2) + name + bytes(520 - len(name))
        data += struct.pack("<I", 0xFF000000)
    for track, record in enumerate(events):
        data += struct.pack("<III", 5, track, 1) + record
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def records(path):
    """{(track, index): record bytes} of a saved project."""
    with open(path, "rb") as handle:
        data = handle.read()
    found = {}
    at = 4
    while at < len(data):
        (tag,) = struct.unpack_from("<I", data, at)
        at += 4
        if tag == 0:
            (size,) = struct.unpack_from("<I", data, at)
            at += 4 + size
        elif tag == 1:
            at += 4
        elif tag == 2:
            break
        elif tag == 3:
            at += 520 + 4 * 2 + 8 + 4 * 3
        elif tag == 4:
            _, kind = struct.unpack_from("<II", data, at)
            at += 8 + (8 if kind == 1 else 0) + 520 + 4
        elif tag == 5:
            track, count = struct.unpack_from("<II", data, at)
            at += 8
            for i in range(count):
                found[(track, i)] = data[at + RECORD * i:at + RECORD * (i + 1)]
            at += RECORD * count
        elif tag == 6:
            at += 4 + RECORD
        else:
            raise WalkthroughError(f"unexpected chunk {tag}")
    return found


def moved_by(old, new):
    """How far an event moved between two records: by its position, or its matrix's translation;
    None when anything else changed."""
    floats = lambda r, at: struct.unpack_from("<f", r, at)[0]
    # The moved event also becomes the selected one: its flags may change.
    changed = [i for i in range(4, RECORD) if old[i] != new[i]]
    position = set(range(POSITION[0], POSITION[1] + 4))
    if changed and all(i in position for i in changed):
        return floats(new, 144) - floats(old, 144), floats(new, 148) - floats(old, 148)
    translation = set(range(MATRIX + 8, MATRIX + 12)) | set(range(MATRIX + 20, MATRIX + 24))
    inverse = set(range(MATRIX + 36, MATRIX + 72))
    if changed and all(i in translation | inverse for i in changed):
        return (floats(new, MATRIX + 8) - floats(old, MATRIX + 8),
                floats(new, MATRIX + 20) - floats(old, MATRIX + 20))
    return None


def drag_a_picture_in_the_preview_and_save(scratch):
    picture = os.path.join(scratch, "card.bmp")
    write_picture(picture, 80, 60, 0x00C04020)
    project = os.path.join(scratch, "card.xqm")
    write_project(project, [picture], [event_record(0, 80, 60, 120, 90)])
    before = records(project)
    kelvane = start(scratch, project)
    main = kelvane.main_window("card.xqm - Kelvane")
    timeline = kelvane.find(main, None, "タイムライン")
    preview = kelvane.find(main, None, "プレビュー")
    # Home in the timeline shows the composition at the first frame in the preview.
    click(timeline)
    Atspi.generate_keyboard_event(0xFF50, None, Atspi.KeySynthType.SYM)
    time.sleep(0.5)  # the preview composes on its next paint; nothing to wait on over AT-SPI
    # The picture's middle, (160, 120) of the 320 x 240 output, is the pane's middle.
    x0, y0 = centre(preview)
    pyatspi.Registry.generateMouseEvent(x0, y0, "b1p")
    for step in range(1, 11):
        pyatspi.Registry.generateMouseEvent(x0 + 4 * step, y0 + 2 * step, "abs")
        time.sleep(0.03)  # pointer motion at a hand's pace, not a wait for the program
    screenshot(os.path.join(SCREENSHOTS, "preview-drag.png"), preview)
    pyatspi.Registry.generateMouseEvent(x0 + 40, y0 + 20, "b1r")
    main = kelvane.main_window("card.xqm - Kelvane", modified=True)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("card.xqm - Kelvane", modified=False)
    after = records(project)
    changed = [k for k in before if before[k] != after.get(k)]
    expect(changed == [(0, 0)], f"events changed by one drag: {changed}")
    moved = moved_by(before[(0, 0)], after[(0, 0)])
    expect(moved is not None and moved[0] > 0 and moved[1] > 0,
           f"the picture moved by {moved}, not right and down")


def point_at_one_file_and_the_others_follow(scratch):
    media = os.path.join(scratch, "media")
    os.makedirs(media)
    names = ["a.bmp", "b.bmp"]
    for i, name in enumerate(names):
        write_picture(os.path.join(media, name), 8, 8, 0x00102030 * (i + 1))
    project = os.path.join(scratch, "moved.xqm")
    write_project(project, ["\\media\\" + name for name in names], [])
    # The media folder is renamed after the project named it.
    os.rename(media, os.path.join(scratch, "footage"))

    kelvane = start(scratch, project)
    box = kelvane.window_named("エラー")
    screenshot(os.path.join(SCREENSHOTS, "missing-file-question.png"), box)
    click(kelvane.find(box, "push button", "ファイルの場所を指定…"))
    choose_file(kelvane, "ファイルの場所を指定", os.path.join(scratch, "footage", "a.bmp"), "開く(O)")
    # The other one came from the same folder: no more questions, and the new places count as a
    # change to be saved.
    main = kelvane.main_window("moved.xqm - Kelvane", modified=True)
    screenshot(os.path.join(SCREENSHOTS, "relinked-project.png"), main)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("moved.xqm - Kelvane", modified=False)
    files = saved_project(project)[0]
    paths = sorted(path for _, path in files.values())
    expect(paths == ["\\footage\\" + name for name in names],
           f"the relinked paths, relative as before: {paths}")


if __name__ == "__main__":
    run([drag_a_picture_in_the_preview_and_save, point_at_one_file_and_the_others_follow])
