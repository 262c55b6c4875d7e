"""A frei0r effect chosen and tuned in the window: an effect entry's path set to the bridge, Glow
found through the effect list's filter field, its Blur set in the event dialog's "効果の設定…",
the project saved, and kelvane-render's frame of it compared with the same project at the
effect's defaults."""

import os
import struct
import subprocess

from gi.repository import Atspi

from kelvane_atspi import (WalkthroughError, choose_file, click, click_to_activate, find_all,
                           open_menu, press_key, run, saved_project, screenshot, set_text, start,
                           wait_for, BIN, SCREENSHOTS)
from timeline_walkthrough import Timeline, event_record

RENDER = os.path.join(BIN, "kelvane-render")
TAB, DOWN = 0xFF09, 0xFF54  # X key symbols


def key(symbol):
    Atspi.generate_keyboard_event(symbol, None, Atspi.KeySynthType.SYM)


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def effect_chunk(file_id, path):
    return struct.pack("<III", 4, file_id, 4) + path.encode("utf-16-le").ljust(520, b"\0")


def region_record(start, file_id, right, bottom, left=0, top=0):
    """An event as timeline_walkthrough makes it, with its region set."""
    record = bytearray(event_record(start, file_id))
    struct.pack_into("<iiii", record, 32, left, top, right, bottom)
    return bytes(record)


def write_project(path):
    """320 x 240: a filled rectangle on track 0, an effect over the whole frame on track 1."""
    data = b"MPRJ" + struct.pack("<II", 1, 0x00020000)
    data += struct.pack("<I", 3) + bytes(520) + struct.pack("<IIdIII", 320, 240, 30.0, 100,
                                                             0x00302010, 0)
    data += effect_chunk(0, "\\effect.so>塗りつぶし") + effect_chunk(1, "\\effect.so>色の反転")
    data += struct.pack("<III", 5, 0, 1) + region_record(0, 0, 220, 160, 100, 80)
    data += struct.pack("<III", 5, 1, 1) + region_record(0, 1, 320, 240)
    data += struct.pack("<I", 2)
    with open(path, "wb") as handle:
        handle.write(data)


def without_skip_chunks(path, out):
    """The project file with its skip chunks (tag 0) left out: the effect at its defaults."""
    with open(path, "rb") as handle:
        data = handle.read()
    kept, at = bytearray(data[:4]), 4
    while at < len(data):
        (tag,) = struct.unpack_from("<I", data, at)
        if tag == 0:
            (size,) = struct.unpack_from("<I", data, at + 4)
            at += 8 + size
            continue
        end = len(data) if tag == 2 else None
        if end is not None:
            kept += data[at:]
            break
        # Every other chunk is copied through by walking it as saved_project does.
        nxt = next_chunk(data, at)
        kept += data[at:nxt]
        at = nxt
    with open(out, "wb") as handle:
        handle.write(bytes(kept))


def next_chunk(data, at):
    (tag,) = struct.unpack_from("<I", data, at)
    at += 4
    if tag == 1:
        return at + 4
    if tag == 3:
        return at + 520 + 4 * 2 + 8 + 4 * 3
    if tag == 4:
        _, kind = struct.unpack_from("<II", data, at)
        at += 8 + (8 if kind == 1 else 0) + 520
        return at + (4 if kind in (1, 2, 5) else 0)
    if tag == 5:
        _, count = struct.unpack_from("<II", data, at)
        return at + 8 + 152 * count
    if tag == 6:
        return at + 4 + 152
    raise WalkthroughError(f"unexpected chunk {tag}")


def frame(project, scratch, name):
    out = os.path.join(scratch, name)
    subprocess.run([RENDER, project, "--frame", "0", "-o", out], check=True, timeout=120,
                   stdout=subprocess.DEVNULL)
    with open(out, "rb") as bmp:
        return bmp.read()[54:]


def glow_chosen_and_tuned(scratch):
    project = os.path.join(scratch, "start.xqm")
    write_project(project)
    kelvane = start(scratch, project)
    main = kelvane.main_window("start.xqm - Kelvane")

    # The effect entry: the bridge's path, then Glow from its list, narrowed by typing.
    files = kelvane.find(main, "list", "ファイル一覧")
    def row_of_effect():
        kelvane.refresh()
        return next((c for c in find_all(files, "list item") if c.name.startswith(" ID:0001")),
                    None)
    row = wait_for(row_of_effect, "the row of file 0001")
    click(row)
    open_menu(kelvane, main, "編集(E)", "プロパティ(S)...")
    dialog = kelvane.window_named("ファイルのプロパティ")
    set_text(kelvane.find(dialog, "text", "使用するファイルのパス"), "\\frei0r.so")
    click(kelvane.find(dialog, "push button", "効果の一覧を表示"))
    chooser = kelvane.window_named("効果の選択", timeout=60)
    filter_field = kelvane.find(chooser, "text", "絞り込み")
    set_text(filter_field, "glow")
    # "Edgeglow" and "Glow" are left, in the module's order: the second one, from the keyboard.
    click(filter_field)
    key(TAB)
    key(DOWN)
    description = kelvane.find(chooser, "text", "説明")
    wait_for(lambda: description.queryText().getText(0, -1).startswith("Glow\n"),
             "Glow chosen in the narrowed list")
    screenshot(os.path.join(SCREENSHOTS, "frei0r-effect-list.png"))
    click(kelvane.find(chooser, "push button", "OK"))
    kelvane.no_window("効果の選択")
    path = kelvane.find(dialog, "text", "使用するファイルのパス")
    wait_for(lambda: path.queryText().getText(0, -1) == "\\frei0r.so>Glow", "the chosen path")
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("ファイルのプロパティ")

    # The event on track 1: its properties, then the effect's settings.
    timeline = Timeline(kelvane, main)
    x, y = timeline.on_track(2, 1)
    click_to_activate(kelvane, main, x, y)
    press_key("Return")
    events = kelvane.window_named("イベントのプロパティ")
    click(kelvane.find(events, "push button", "効果の設定…"))
    settings = kelvane.window_named("効果の設定")
    blur = kelvane.find(settings, "text", "Blur 値")
    set_text(blur, "0.8")
    screenshot(os.path.join(SCREENSHOTS, "frei0r-effect-settings.png"))
    click(kelvane.find(settings, "push button", "OK"))
    kelvane.no_window("効果の設定")
    click(kelvane.find(events, "push button", "OK"))
    kelvane.no_window("イベントのプロパティ")

    open_menu(kelvane, main, "ファイル(F)", "名前を付けて保存(A)...")
    saved = os.path.join(scratch, "glow")
    choose_file(kelvane, "名前を付けて保存", saved, "保存(S)")
    saved += ".xqm"
    wait_for(lambda: os.path.exists(saved), f"{saved} to be written")
    main = kelvane.main_window("glow.xqm - Kelvane")
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")

    files, _ = saved_project(saved)
    expect(files.get(1) == (4, "\\frei0r.so>Glow"), f"file 0001: {files.get(1)}")
    with open(saved, "rb") as handle:
        expect(b"KFXP" in handle.read(), "no effect parameters in the saved project")
    defaults = os.path.join(scratch, "defaults.xqm")
    without_skip_chunks(saved, defaults)
    tuned = frame(saved, scratch, "tuned.bmp")
    plain = frame(defaults, scratch, "defaults.bmp")
    expect(tuned != plain, "the Blur set in the window does not show in the rendered frame")


if __name__ == "__main__":
    run([glow_chosen_and_tuned])
