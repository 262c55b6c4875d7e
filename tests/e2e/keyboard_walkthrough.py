"""The window left to itself and driven by key: a project opened and saved, before and after F6
through every pane, comes back byte for byte with its selected templates and events; Insert in
the file list puts the current file on the timeline at its cursor, as a drop there would."""

import os
import struct

from gi.repository import Atspi
import pyatspi

from kelvane_atspi import (WalkthroughError, children, click, press_key, run, saved_tracks,
                           screenshot, start, wait_for, SCREENSHOTS)
from timeline_walkthrough import Timeline, mouse, save_as

USED, SELECTED, PARAMETRIC = 1, 2, 8
INSERT = 0xFF63  # the X key symbol of Insert


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def write_picture(path):
    """An 8 x 4 BMP file of 32-bit pixels."""
    width, height = 8, 4
    pixels = b"".join(struct.pack("<I", 0x00203040 + 0x10 * x + 0x1000 * y)
                      for y in range(height) for x in range(width))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as handle:
        handle.write(head + info + pixels)


def event_record(flags, start, file_id):
    identity = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
    return (struct.pack("<IIii qq iiii Ii", flags, start, file_id, 0, 0, 0, 0, 0, 8, 4,
                        0x00FFFFFF, 0)
            + struct.pack("<9f", *identity) + struct.pack("<9f", *identity)
            + struct.pack("<6f", 0.0, 0.0, 1.0, 0.0, 0.0, 0.0))


def write_project(path, picture, track_events=(), templates=()):
    """A version 2.0 project of 320 x 240 at 30 frames per second with the picture as file 0."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, 100, 0, 0)
    name = picture.encode("utf-16-le")
    data += struct.pack("<III", 4, 0, 2) + name + bytes(520 - len(name))
    data += struct.pack("<I", 0xFF000000)
    for track, events in track_events:
        data += struct.pack("<III", 5, track, len(events))
        data += b"".join(event_record(*event) for event in events)
    for slot, flags in templates:
        data += struct.pack("<II", 6, slot) + event_record(flags, 0, 0)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def file_rows(kelvane, main):
    files = kelvane.find(main, "list", "ファイル一覧")
    return wait_for(lambda: [c for c in children(files) if c.getRoleName() == "list item"],
                    "the file list's rows")


def opening_and_saving_keeps_every_byte(scratch):
    picture = os.path.join(scratch, "pic.bmp")
    write_picture(picture)
    original = os.path.join(scratch, "keep.xqm")
    write_project(original, picture,
                  track_events=[(0, [(USED | PARAMETRIC | SELECTED, 0, 0),
                                     (USED | PARAMETRIC, 20, 0)]),
                                (2, [(USED | PARAMETRIC | SELECTED, 5, 0)])],
                  templates=[(0, USED | PARAMETRIC | SELECTED), (3, USED | PARAMETRIC),
                             (5, USED | PARAMETRIC | SELECTED)])
    kelvane = start(scratch, original)
    main = kelvane.main_window("keep.xqm - Kelvane")
    click(file_rows(kelvane, main)[0])  # a current file

    main = save_as(kelvane, main, scratch, "opened")
    expect(read(os.path.join(scratch, "opened.xqm")) == read(original),
           "opening and saving changed the project")

    for _ in range(4):
        press_key("F6")
    main = save_as(kelvane, main, scratch, "visited")
    screenshot(os.path.join(SCREENSHOTS, "keyboard-after-f6.png"), main)
    expect(read(os.path.join(scratch, "visited.xqm")) == read(original),
           "moving through the panes changed the project")


def insert_puts_the_current_file_on_the_timeline(scratch):
    picture = os.path.join(scratch, "pic.bmp")
    write_picture(picture)
    project = os.path.join(scratch, "empty.xqm")
    write_project(project, picture)
    kelvane = start(scratch, project)
    main = kelvane.main_window("empty.xqm - Kelvane")

    # The cursor on frame 20 by a click in the ruler, then the file made current by a click.
    timeline = Timeline(kelvane, main)
    x, y = timeline.on_ruler(20)
    mouse(x, y, "b1c")
    wait_for(lambda: timeline.acc.getState().contains(pyatspi.STATE_FOCUSED),
             "the timeline to take the focus")
    row = file_rows(kelvane, main)[0]
    click(row)
    files = kelvane.find(main, "list", "ファイル一覧")
    wait_for(lambda: files.getState().contains(pyatspi.STATE_FOCUSED),
             "the file list to take the focus")
    Atspi.generate_keyboard_event(INSERT, None, Atspi.KeySynthType.SYM)

    main = save_as(kelvane, main, scratch, "placed")
    screenshot(os.path.join(SCREENSHOTS, "keyboard-insert.png"), main)
    tracks = saved_tracks(os.path.join(scratch, "placed.xqm"))
    expect(tracks == {0: [(20, 0)]}, f"after Insert: {tracks}")


if __name__ == "__main__":
    run([opening_and_saving_keeps_every_byte, insert_puts_the_current_file_on_the_timeline])
