"""An event's sound set in the window: a tone placed on track 0, its event dialog opened from the
timeline, "音量(%)" set to 50, and the saved project's "KAUD" record read back; a picture's event
beside it offers no volume."""

import os
import struct
import subprocess

from kelvane_atspi import (WalkthroughError, click, click_to_activate, is_enabled, open_menu,
                           press_key, run, saved_skip_chunks, screenshot, set_text, start,
                           SCREENSHOTS)
from timeline_walkthrough import Timeline, event_record, save_as

NO_TRANSPARENT_COLOUR = 0xFF000000


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def file_chunk(file_id, kind, path):
    """A movie (1) or picture (2) entry by its full path, without a reference rate."""
    data = struct.pack("<III", 4, file_id, kind)
    if kind == 1:
        data += struct.pack("<q", 0)
    return data + path.encode("utf-16-le").ljust(520, b"\0") + struct.pack(
        "<I", NO_TRANSPARENT_COLOUR)


def write_project(path, tone, picture):
    """320 x 240 at 30 fps, 100 frames: the tone at frame 0 of track 0, the picture on track 1."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, 100, 0, 0)
    data += file_chunk(0, 1, tone) + file_chunk(1, 2, picture)
    data += struct.pack("<III", 5, 0, 1) + event_record(0, 0)
    data += struct.pack("<III", 5, 1, 1) + event_record(0, 1)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def sound_records(path):
    """The "KAUD" records of a saved project: [(kind, number, index, volume, flags), ...]."""
    body = saved_skip_chunks(path).get("KAUD")
    expect(body is not None, f"no KAUD chunk in {path}")
    version, count = struct.unpack_from("<II", body, 0)
    expect(version == 1, f"KAUD version {version}")
    return [struct.unpack_from("<IIIfI", body, 8 + 20 * i) for i in range(count)]


def half_volume_saved(scratch):
    tone = os.path.join(scratch, "tone.wav")
    picture = os.path.join(scratch, "still.bmp")
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "sine=d=3", tone, "-f", "lavfi", "-i", "color=c=red:s=16x16:d=1",
                    "-frames:v", "1", picture], check=True, timeout=60)
    project = os.path.join(scratch, "start.xqm")
    write_project(project, tone, picture)
    kelvane = start(scratch, project)
    main = kelvane.main_window("start.xqm - Kelvane")
    timeline = Timeline(kelvane, main)

    # The picture's event first: no sound, so nothing to set.
    x, y = timeline.on_track(2, 1)
    click_to_activate(kelvane, main, x, y)
    press_key("Return")
    dialog = kelvane.window_named("イベントのプロパティ")
    expect(not is_enabled(kelvane.find(dialog, "text", "音量(%)")), "a picture offers a volume")
    expect(not is_enabled(kelvane.find(dialog, "check box", "ミュート")), "a picture offers mute")
    click(kelvane.find(dialog, "push button", "キャンセル"))
    kelvane.no_window("イベントのプロパティ")

    x, y = timeline.on_track(2, 0)
    click_to_activate(kelvane, main, x, y)
    press_key("Return")
    dialog = kelvane.window_named("イベントのプロパティ")
    volume = kelvane.find(dialog, "text", "音量(%)")
    expect(is_enabled(volume), "the tone's volume is disabled")
    expect(volume.queryText().getText(0, -1) == "100", "the tone does not start at 100 %")
    set_text(volume, "50")
    screenshot(os.path.join(SCREENSHOTS, "event-dialog-volume.png"))
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("イベントのプロパティ")

    main = save_as(kelvane, main, scratch, "half")
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")
    records = sound_records(os.path.join(scratch, "half.xqm"))
    expect(records == [(0, 0, 0, 0.5, 0)], f"KAUD records: {records}")


if __name__ == "__main__":
    run([half_volume_saved])
