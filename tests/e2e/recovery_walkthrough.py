"""Unsaved edits survive a crash: a file added and dropped on the timeline, the program killed
with SIGKILL, started again; the question about the unsaved changes answered はい brings the
project back under its own name, and saving it writes the file with the picture and its event.
Waits watch the crash journal beside the INI file until it holds both edits whole."""

import glob
import os
import signal
import struct
import zlib

import time

import pyatspi

from kelvane_atspi import (WalkthroughError, centre, click, find_all, open_menu, run,
                           saved_project, screenshot, set_text, start, wait_for, SCREENSHOTS)
from lists_walkthrough import context_menu, drag_to, rows
from timeline_walkthrough import Timeline, write_project

STATE = 3  # the record kind of one edit


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def write_picture(path):
    """A 16 x 16 24-bit BMP file."""
    pixels = bytes([0x20, 0x80, 0xE0] * 16 * 16)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as handle:
        handle.write(header + info + pixels)


def journal_edits(folder):
    """Whole edit records in the one journal of `folder` (0 when there is none)."""
    journals = glob.glob(os.path.join(folder, "*.kvj"))
    if len(journals) != 1:
        return 0
    with open(journals[0], "rb") as handle:
        data = handle.read()
    at, edits = 0, 0
    while len(data) - at >= 20:
        magic, kind, size = struct.unpack_from("<IIQ", data, at)
        end = at + 16 + size
        if magic != 0x524A564B or end + 4 > len(data):
            break
        (crc,) = struct.unpack_from("<I", data, end)
        if zlib.crc32(data[at:end]) != crc:
            break
        edits += kind == STATE
        at = end + 4
    return edits


def crash_and_restore(scratch):
    project = os.path.join(scratch, "start.xqm")
    picture = os.path.join(scratch, "picture.bmp")
    write_project(project)
    write_picture(picture)
    kelvane = start(scratch, project)
    recovery = os.path.join(kelvane.folder, "recovery")
    main = kelvane.main_window("start.xqm - Kelvane")

    # The file list's "追加(&N)..." and the file's properties.
    files = kelvane.find(main, "list", "ファイル一覧")
    context_menu(files, "n")
    dialog = kelvane.window_named("ファイルのプロパティ")
    set_text(kelvane.find(dialog, "text", "使用するファイルのパス"), picture)
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("ファイルのプロパティ")
    row = wait_for(lambda: next((r for r in rows(kelvane, files) if "picture.bmp" in r.name), None),
                   "the picture's row")
    wait_for(lambda: journal_edits(recovery) >= 1, "the added file in the journal")

    # Dropped on track 0 at frame 20.
    timeline = Timeline(kelvane, main)
    x, y = timeline.on_track(20, 0)

    drag_to(row, x, y)
    wait_for(lambda: journal_edits(recovery) >= 2, "the drop in the journal")
    screenshot(os.path.join(SCREENSHOTS, "recovery-before-kill.png"), main)
    os.kill(kelvane.process.pid, signal.SIGKILL)  # kill -9, as a crash ends it
    kelvane.process.wait()

    # The next start asks, and はい brings the project back, modified, under its own name.
    again = start(scratch)
    box = again.window_named("Kelvane")
    screenshot(os.path.join(SCREENSHOTS, "recovery-question.png"), box)
    question = wait_for(lambda: next((l.name for l in find_all(box, "label")
                                      if "保存されていない変更" in l.name), None), "the question")
    expect(question.startswith("前回の終了時に保存されていない変更があります。復元しますか？")
           and project in question, f"the question: {question}")
    yes = wait_for(lambda: next((b for b in find_all(box, "push button")
                                 if b.name.startswith("はい")), None), "the はい button")
    click(yes)
    main = again.main_window("start.xqm - Kelvane")
    open_menu(again, main, "ファイル(F)", "上書き保存(S)")
    wait_for(lambda: not glob.glob(os.path.join(recovery, "*.kvj")), "the save to remove the journal")
    files, tracks = saved_project(project)
    expect(files == {0: (2, picture)}, f"saved files: {files}")
    expect(len(tracks.get(0, [])) == 1 and tracks[0][0][1] == 0, f"saved tracks: {tracks}")
    expect(abs(tracks[0][0][0] - 20) <= 1, f"the event starts at {tracks[0][0][0]}")
    open_menu(again, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(again.wait_exit() == 0, "exit status")


if __name__ == "__main__":
    run([crash_and_restore])
