"""The timeline seen from outside: an event dragged with the real mouse, undone, and the project
saved each time; a template inserted by its key at the cursor. The painted area shows no objects
of its own over AT-SPI, so the pointer goes to places worked out from the pane's position, and the
saved project files tell what happened."""

import os
import struct

from gi.repository import Atspi
import pyatspi

from kelvane_atspi import (WalkthroughError, choose_file, click, open_menu, run, saved_tracks,
                           screenshot, start, wait_for, SCREENSHOTS)

PIXELS_PER_FRAME = 8  # at the zoom a new timeline starts with
RULER = 48            # rows of the ruler above track 0
ROW = 16
USED_PARAMETRIC = 9


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def event_record(start, file_id):
    """One 152-byte event: Used and Parametric, opaque white, scale 1, identity matrices."""
    identity = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
    return (struct.pack("<IIii qq iiii Ii", USED_PARAMETRIC, start, file_id, 0, 0, 0, 0, 0, 0, 0,
                        0x00FFFFFF, 0)
            + struct.pack("<9f", *identity) + struct.pack("<9f", *identity)
            + struct.pack("<6f", 0.0, 0.0, 1.0, 0.0, 0.0, 0.0))


def write_project(path, track_events=(), templates=()):
    """A version 2.0 project file of 320 x 240 at 30 frames per second, 100 frames long."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, 100, 0, 0)
    for track, events in track_events:
        data += struct.pack("<III", 5, track, len(events))
        data += b"".join(event_record(start, file_id) for start, file_id in events)
    for slot, file_id in templates:
        data += struct.pack("<II", 6, slot) + event_record(0, file_id)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


class Timeline:
    """Window points over the painted timeline: its top-left corner is the viewport's, just
    inside the pane's frame."""

    def __init__(self, kelvane, main):
        self.acc = kelvane.find(main, None, "タイムライン")
        box = self.acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        frame = 2  # the sunken frame around the painted area, at most
        self.left = box.x + frame
        self.top = box.y + frame

    def on_track(self, frame, track):
        return (self.left + frame * PIXELS_PER_FRAME, self.top + RULER + ROW * track + ROW // 2)

    def on_ruler(self, frame):
        return (self.left + frame * PIXELS_PER_FRAME, self.top + 30)


def mouse(x, y, action):
    pyatspi.Registry.generateMouseEvent(x, y, action)


def save_as(kelvane, main, scratch, name):
    open_menu(kelvane, main, "ファイル(F)", "名前を付けて保存(A)...")
    choose_file(kelvane, "名前を付けて保存", os.path.join(scratch, name), "保存(S)")
    path = os.path.join(scratch, name + ".xqm")
    wait_for(lambda: os.path.exists(path), f"{path} to be written")
    return kelvane.main_window(name + ".xqm - Kelvane")


def drag_an_event_undo_and_save(scratch):
    project = os.path.join(scratch, "start.xqm")
    write_project(project, track_events=[(0, [(10, 1), (60, 2)])])
    kelvane = start(scratch, project)
    main = kelvane.main_window("start.xqm - Kelvane")
    timeline = Timeline(kelvane, main)

    # Press on the first event at frame 12, move, release 20 frames further right.
    x, y = timeline.on_track(12, 0)
    mouse(x, y, "b1p")
    for step in range(1, 5):
        mouse(x + step * 40, y, "abs")
    mouse(x + 160, y, "b1r")
    main = save_as(kelvane, main, scratch, "moved")
    screenshot(os.path.join(SCREENSHOTS, "timeline-after-drag.png"), main)
    expect(saved_tracks(os.path.join(scratch, "moved.xqm")) == {0: [(30, 1), (60, 2)]},
           f"after the drag: {saved_tracks(os.path.join(scratch, 'moved.xqm'))}")

    open_menu(kelvane, main, "編集(E)", "元に戻す(U)")
    main = save_as(kelvane, main, scratch, "undone")
    expect(saved_tracks(os.path.join(scratch, "undone.xqm")) == {0: [(10, 1), (60, 2)]},
           f"after the undo: {saved_tracks(os.path.join(scratch, 'undone.xqm'))}")
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")


def template_key_at_the_cursor(scratch):
    project = os.path.join(scratch, "templates.xqm")
    write_project(project, templates=[(0, 7)])  # slot 0 answers the key "1"
    kelvane = start(scratch, project)
    main = kelvane.main_window("templates.xqm - Kelvane")
    timeline = Timeline(kelvane, main)

    # A click in the ruler puts the cursor on frame 20 and makes the timeline the active pane.
    click_x, click_y = timeline.on_ruler(20)
    mouse(click_x, click_y, "b1c")
    wait_for(lambda: timeline.acc.getState().contains(pyatspi.STATE_FOCUSED),
             "the timeline to take the focus")
    Atspi.generate_keyboard_event(ord("1"), None, Atspi.KeySynthType.SYM)
    main = save_as(kelvane, main, scratch, "inserted")
    screenshot(os.path.join(SCREENSHOTS, "timeline-template-key.png"), main)
    expect(saved_tracks(os.path.join(scratch, "inserted.xqm")) == {0: [(20, 7)]},
           f"after the key: {saved_tracks(os.path.join(scratch, 'inserted.xqm'))}")
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")


if __name__ == "__main__":
    run([drag_an_event_undo_and_save, template_key_at_the_cursor])
