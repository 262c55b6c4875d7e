"""Playback seen from outside: the demo project played with the Space key in the preview pane for
about a second. The status bar tells the time of the frame on show, the 表示 menu's "再生" item is
checked while it plays, the preview pane's pixels change from one moment to the next, and after
the second Space the status bar says "レディ" again."""

import os
import re
import subprocess
import time

from gi.repository import Atspi
import pyatspi

from kelvane_atspi import (WalkthroughError, close_menu, find_all, menu_items, run, screenshot,
                           start, wait_for, BIN, SCREENSHOTS)
from lists_walkthrough import make_demo

RATE = 30  # the demo project's frames per second
SPACE = 0x20
# Without a sound device the reason follows, after two spaces.
PLAYING = re.compile(r"^再生中 (\d\d):(\d\d)\.(\d\d\d) \(コマ落ち (\d+)\)(?:  .*)?$")


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def space():
    Atspi.generate_keyboard_event(SPACE, None, Atspi.KeySynthType.SYM)


def status(program, label):
    """The status bar's message: "レディ" or "再生中 ..."."""
    program.refresh()
    return label.name


def playing_time(text):
    """Seconds and dropped frames of a "再生中 mm:ss.mmm (コマ落ち n)" text; None for another."""
    match = PLAYING.match(text or "")
    if not match:
        return None
    minutes, seconds, millis, dropped = (int(g) for g in match.groups())
    return minutes * 60 + seconds + millis / 1000, dropped


def checked(program, acc):
    program.refresh()
    return acc.getState().contains(pyatspi.STATE_CHECKED)


def pixels(acc):
    """The screen's pixels under the object, raw RGB."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return subprocess.run(["import", "-window", "root", "-crop",
                           f"{box.width}x{box.height}+{box.x}+{box.y}", "+repage", "rgb:-"],
                          check=True, timeout=30, capture_output=True).stdout


def space_plays_and_stops(scratch):
    demo = make_demo(scratch)
    kelvane = start(scratch, demo)
    main = kelvane.main_window("demo.xqm - Kelvane")
    preview = kelvane.find(main, None, "プレビュー")  # the active pane at start
    message = kelvane.find(main, "label", "レディ")  # the status bar's message

    space()
    began = time.monotonic()
    wait_for(lambda: (playing_time(status(kelvane, message)) or (-1, 0))[0] >= 0.3,
             "the status bar to say 再生中 past 0.3 s")
    shot_a = pixels(preview)
    screenshot(os.path.join(SCREENSHOTS, "playback-a.png"), main)
    # About a second of playback, watched on the status bar.
    wait_for(lambda: (playing_time(status(kelvane, message)) or (0, 0))[0] >= 0.95,
             "a second of playback", timeout=10)
    shot_b = pixels(preview)
    last = playing_time(status(kelvane, message))
    space()
    stopped_after = time.monotonic() - began
    wait_for(lambda: status(kelvane, message) == "レディ", "レディ after stopping")
    screenshot(os.path.join(SCREENSHOTS, "playback-b.png"), main)
    expect(last is not None, "no playing time just before the stop")
    expect(len(shot_a) > 0 and shot_a != shot_b, "the preview pane did not change while playing")

    # The cursor moved by about the rate in that second; and by the rate times the time it
    # played (the last time seen was read a moment before the stop).
    frames = last[0] * RATE
    print(f"  played {frames:.0f} frames in {stopped_after:.2f} s, {last[1]} dropped")
    expect(abs(frames - RATE) <= 0.25 * RATE, f"{frames:.0f} frames in about a second")
    expect(abs(frames - stopped_after * RATE) <= 0.25 * stopped_after * RATE,
           f"{frames:.0f} frames shown in {stopped_after:.2f} s at {RATE} per second")

    # Played again from there: the menu item and the toolbar button are checked while it plays.
    space()
    wait_for(lambda: playing_time(status(kelvane, message)), "the second playback")
    items = menu_items(kelvane, main, "表示(V)")
    expect("再生(L)" in items, f"view menu: {list(items)}")
    expect(items["再生(L)"].getState().contains(pyatspi.STATE_CHECKED),
           "再生 is not checked while playing")
    close_menu(kelvane, main, "表示(V)")
    expect(checked(kelvane, kelvane.find(main, None, "再生/停止")),
           "the toolbar's 再生/停止 is not checked while playing")
    space()
    wait_for(lambda: status(kelvane, message) == "レディ", "レディ after the second stop")
    screenshot(os.path.join(SCREENSHOTS, "playback-stopped.png"), main)

    # Stopped, the command is unchecked again: its toolbar button says so.
    button = kelvane.find(main, None, "再生/停止")
    wait_for(lambda: not checked(kelvane, button), "再生/停止 to be unchecked after the stop")


if __name__ == "__main__":
    run([space_plays_and_stops])
