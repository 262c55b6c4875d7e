"""Finding your way in the window over AT-SPI: Esc on a track without events shows the detail
view with its ruler and lane, the status bar's field follows the cursor and Ctrl+G moves it, and
a right click on a file row makes that row the one "タイムラインに配置" puts on the timeline."""

import os
import subprocess

import pyatspi
from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, centre, children, click, find_all, open_menu, run,
                           saved_tracks, screenshot, set_text, start, wait_for, BIN, SCREENSHOTS)

NEW_TITLE = "新規プロジェクト - Kelvane"
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


def make_demo(scratch):
    folder = os.path.join(scratch, "demo")
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(BIN, "make_demo_project"), folder], check=True, timeout=60,
                   stdout=subprocess.DEVNULL)
    return os.path.join(folder, "demo.xqm")


def esc_on_an_empty_track_shows_the_ruler(scratch):
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    timeline = kelvane.find(main, None, "タイムライン")
    # A click on a row of the new project's empty tracks makes that track current.
    click(timeline)
    expect(count(pixels(timeline), LANE) == 0, "a lane before Esc")
    key(0xFF1B)  # Escape: "全トラック表示" off, the current track in detail
    wait_for(lambda: count(pixels(timeline), LANE) > 1000, "the detail view's lane after Esc")
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
    demo = make_demo(scratch)
    before = saved_tracks(demo)
    kelvane = start(scratch, demo)
    main = kelvane.main_window("demo.xqm - Kelvane")
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
    main = kelvane.main_window("demo.xqm - Kelvane", modified=True)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    kelvane.main_window("demo.xqm - Kelvane", modified=False)
    after = saved_tracks(demo)
    added = [e for e in after.get(0, []) if e not in before.get(0, [])
             or after[0].count(e) > before.get(0, []).count(e)]
    expect((0, file_id) in added, f"track 0 gained {added}, not file {file_id} at frame 0")


if __name__ == "__main__":
    run([esc_on_an_empty_track_shows_the_ruler, right_click_a_row_and_place_it])
