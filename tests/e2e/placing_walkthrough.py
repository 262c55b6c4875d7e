"""Placing by hand and media that moved, over AT-SPI: a drag in the preview moves the event under
the pointer and the saved file has it moved; a project whose media folder was renamed asks about
its first file, takes the place the user points at, and finds the others of that folder itself."""

import os
import shutil
import struct
import subprocess
import time

import pyatspi
from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, centre, choose_file, click, open_menu, run,
                           saved_project, screenshot, start, wait_for, BIN, SCREENSHOTS)

RECORD = 152
POSITION = (144, 148)  # positionX, positionY in an event record
MATRIX = 56  # the forward matrix, nine floats


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def make_demo(scratch):
    folder = os.path.join(scratch, "demo")
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(BIN, "make_demo_project"), folder], check=True, timeout=60,
                   stdout=subprocess.DEVNULL)
    return os.path.join(folder, "demo.xqm")


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
    changed = [i for i in range(RECORD) if old[i] != new[i]]
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
    demo = make_demo(scratch)
    before = records(demo)
    kelvane = start(scratch, demo)
    main = kelvane.main_window("demo.xqm - Kelvane")
    timeline = kelvane.find(main, None, "タイムライン")
    preview = kelvane.find(main, None, "プレビュー")
    # Home in the timeline shows the composition at the first frame in the preview.
    click(timeline)
    Atspi.generate_keyboard_event(0xFF50, None, Atspi.KeySynthType.SYM)
    time.sleep(0.5)  # the preview composes on its next paint; nothing to wait on over AT-SPI
    x0, y0 = centre(preview)
    pyatspi.Registry.generateMouseEvent(x0, y0, "b1p")
    for step in range(1, 11):
        pyatspi.Registry.generateMouseEvent(x0 + 4 * step, y0 + 2 * step, "abs")
        time.sleep(0.03)  # pointer motion at a hand's pace, not a wait for the program
    screenshot(os.path.join(SCREENSHOTS, "preview-drag.png"), preview)
    pyatspi.Registry.generateMouseEvent(x0 + 40, y0 + 20, "b1r")
    main = kelvane.main_window("demo.xqm - Kelvane", modified=True)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("demo.xqm - Kelvane", modified=False)
    after = records(demo)
    changed = [k for k in before if before[k] != after.get(k)]
    expect(len(changed) == 1, f"events changed by one drag: {changed}")
    moved = moved_by(before[changed[0]], after[changed[0]])
    expect(moved is not None and moved[0] > 0 and moved[1] > 0,
           f"event {changed[0]} moved by {moved}, not right and down")


def point_at_one_file_and_the_others_follow(scratch):
    demo = make_demo(scratch)
    folder = os.path.dirname(demo)
    # The demo's media into a folder of their own, named by relative paths in the project...
    media = os.path.join(folder, "media")
    os.makedirs(media)
    names = ["movie.avi", "picture.png", "vignette.png"]
    for name in names:
        shutil.move(os.path.join(folder, name), os.path.join(media, name))
    with open(demo, "rb") as handle:
        data = bytearray(handle.read())
    for name in names:
        old = ("\\" + name).encode("utf-16-le") + b"\0\0"
        new = ("\\media\\" + name).encode("utf-16-le")
        at = data.find(old)
        expect(at > 0, f"{name} in the project")
        data[at:at + len(new)] = new
    with open(demo, "wb") as handle:
        handle.write(data)
    # ...then that folder is renamed.
    os.rename(media, os.path.join(folder, "footage"))

    kelvane = start(scratch, demo)
    box = kelvane.window_named("エラー")
    screenshot(os.path.join(SCREENSHOTS, "missing-file-question.png"), box)
    click(kelvane.find(box, "push button", "ファイルの場所を指定…"))
    choose_file(kelvane, "ファイルの場所を指定", os.path.join(folder, "footage", "movie.avi"),
                "開く(O)")
    # The other two came from the same folder: no more questions.
    # The new places count as a change, to be saved.
    main = kelvane.main_window("demo.xqm - Kelvane", modified=True)
    screenshot(os.path.join(SCREENSHOTS, "relinked-project.png"), main)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("demo.xqm - Kelvane", modified=False)
    files = saved_project(demo)[0]
    paths = sorted(path for _, path in files.values() if "footage" in path)
    expect(paths == ["\\footage\\" + name for name in sorted(names)],
           f"the relinked paths, relative as before: {paths}")


if __name__ == "__main__":
    run([drag_a_picture_in_the_preview_and_save, point_at_one_file_and_the_others_follow])
