"""Finding your way in the window over AT-SPI: Esc on a track without events shows the detail
view with its ruler and lane, the status bar's field follows the cursor and Ctrl+G moves it, and
a right click on a file row makes that row the one "タイムラインに配置" puts on the timeline."""

import os
import struct
import subprocess

import pyatspi
from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, centre, children, click, find_all, open_menu, run,
                           saved_tracks, screenshot, set_text, start, wait_for, SCREENSHOTS)

LANE = bytes((224, 224, 224))  # the detail view's event lane
HOME = 0xFF50


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def pixels(acc):
    """The screen's pixels under the object, raw RGB."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return subprocess.run(["import", "-window", "root", "-crop",
                           f"{box.width}x{box.height}+{box.x}+{box.y}", "+repage", "rgb:-"],
                          check=True, timeout=30, capture_output=True).stdout


def count(shot, colour):
    return sum(1 for i in range(0, len(shot) - 2, 3) if shot[i:i + 3] == colour)


def key(symbol):
    Atspi.generate_keyboard_event(symbol, None, Atspi.KeySynthType.SYM)


def write_picture(path, width=8, height=4, colour=0x00203040):
    """A BMP file of 32-bit pixels, bottom row first."""
    pixels = struct.pack("<I", colour) * (width * height)
    head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as handle:
        handle.write(head + info + pixels)


def write_project(path, pictures, length=100):
    """A version 2.0 project of 320 x 240 at 30 frames per second, the pictures as files 0, 1,
    ... and no events."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, length, 0, 0)
    for file_id, picture in enumerate(pictures):
        name = picture.encode("utf-16-le")
        data += struct.pack("<III", 4, file_id, 2) + name + bytes(520 - len(name))
        data += struct.pack("<I", 0xFF000000)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def three_pictures(scratch):
    pictures = []
    for i in range(3):
        pictures.append(os.path.join(scratch, f"p{i}.bmp"))
        write_picture(pictures[-1], colour=0x00102030 * (i + 1))
    project = os.path.join(scratch, "three.xqm")
    write_project(project, pictures)
    return project


def esc_on_an_empty_track_shows_the_ruler(scratch):
    kelvane = start(scratch, three_pictures(scratch))
    main = kelvane.main_window("three.xqm - Kelvane")
    timeline = kelvane.find(main, None, "タイムライン")
    # A click on a row of the new project's empty tracks makes that track current.
    click(timeline)
    before = count(pixels(timeline), LANE)
    key(0xFF1B)  # Escape: "全トラック表示" off, the current track in detail
    wait_for(lambda: count(pixels(timeline), LANE) > before + 5000,
             "the detail view's lane after Esc")
    screenshot(os.path.join(SCREENSHOTS, "timeline-empty-track-detail.png"), timeline)

    # The status bar's field says where the cursor is; Ctrl+G moves it there.
    field = kelvane.find(main, "label", "00:00.000 / 0")
    open_menu(kelvane, main, "表示(V)", "移動(G)...")
    dialog = kelvane.window_named("移動")
    screenshot(os.path.join(SCREENSHOTS, "go-to-dialog.png"), dialog)
    set_text(kelvane.find(dialog, "text", "時間またはフレーム番号"), "0:01")
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("移動")
    kelvane.find(main, "label", "00:01.000 / 30")
    expect(field is not None, "the cursor field")


def right_click_a_row_and_place_it(scratch):
    demo = three_pictures(scratch)
    before = saved_tracks(demo)
    kelvane = start(scratch, demo)
    main = kelvane.main_window("three.xqm - Kelvane")
    files = kelvane.find(main, "list", "ファイル一覧")

    def rows():
        kelvane.refresh()
        return [c for c in children(files) if c.getRoleName() == "list item"]
    listed = wait_for(lambda: rows() if len(rows()) >= 3 else None, "the file list's rows")
    target = listed[2]
    file_id = int(target.name.split("ID:")[1][:4])
    # The right click makes the row current before the menu opens; "T" picks
    # "タイムラインに配置(&T)" from it.
    x, y = centre(target)
    pyatspi.Registry.generateMouseEvent(x, y, "b3c")
    wait_for(lambda: target.getState().contains(pyatspi.STATE_SELECTED), "the row to be selected")
    key(ord("t"))
    main = kelvane.main_window("three.xqm - Kelvane", modified=True)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("three.xqm - Kelvane", modified=False)
    after = saved_tracks(demo)
    added = [e for e in after.get(0, []) if e not in before.get(0, [])
             or after[0].count(e) > before.get(0, []).count(e)]
    expect((0, file_id) in added, f"track 0 gained {added}, not file {file_id} at frame 0")


if __name__ == "__main__":
    run([esc_on_an_empty_track_shows_the_ruler, right_click_a_row_and_place_it])
