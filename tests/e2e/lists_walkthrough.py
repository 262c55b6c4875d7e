"""The file list, the template list and the preview pane seen over AT-SPI: rows found by their
text, a click that selects, a real mouse drag from a file row onto a template row and its undo,
the preview image saved through the pane's context menu, and the lists' "Preview" option written
to the INI file at once."""

import os
import struct
import subprocess
import time

from kelvane_atspi import (WalkthroughError, centre, children, choose_file, click, open_menu,
                           read_ini, run, screenshot, start, wait_for, BIN, SCREENSHOTS)
import pyatspi
from gi.repository import Atspi


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def make_demo(scratch):
    """The demo project with its media, made by the build's own generator."""
    folder = os.path.join(scratch, "demo")
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(BIN, "make_demo_project"), folder], check=True, timeout=60,
                   stdout=subprocess.DEVNULL)
    return os.path.join(folder, "demo.xqm")


def rows(program, pane):
    program.refresh()
    return [c for c in children(pane) if c.getRoleName() == "list item"]


def row_named(program, pane, prefix):
    return wait_for(lambda: next((r for r in rows(program, pane) if r.name.startswith(prefix)),
                                 None), f"a row beginning '{prefix}'")


def selected(acc):
    return acc.getState().contains(pyatspi.STATE_SELECTED)


def drag(source, target):
    """Presses on `source`, moves there in steps as a hand would, releases over `target`."""
    drag_to(source, *centre(target))


def drag_to(source, x1, y1):
    """Presses on `source`, moves to (x1, y1) at a hand's pace and releases there."""
    x0, y0 = centre(source)
    pyatspi.Registry.generateMouseEvent(x0, y0, "b1p")
    for step in range(1, 11):
        pyatspi.Registry.generateMouseEvent(x0 + (x1 - x0) * step // 10,
                                            y0 + (y1 - y0) * step // 10, "abs")
        time.sleep(0.03)  # pointer motion at a hand's pace, not a wait for the program
    pyatspi.Registry.generateMouseEvent(x1, y1, "b1r")


def context_menu(acc, key):
    """Opens the pane's context menu with the right button and picks an item by its access key.
    Qt 6.4 shows a pane's context menu as a popup outside the tree that AT-SPI lists, so its
    items are reached as a keyboard user reaches them."""
    x, y = centre(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "b3c")
    Atspi.generate_keyboard_event(ord(key), None, Atspi.KeySynthType.SYM)


def lists_and_preview(scratch):
    demo = make_demo(scratch)
    kelvane = start(scratch, demo)
    main = kelvane.main_window("demo.xqm - Kelvane")
    files = kelvane.find(main, "list", "ファイル一覧")
    templates = kelvane.find(main, "list", "イベント一覧")

    file_rows = wait_for(lambda: rows(kelvane, files), "the file list's rows")
    names = [r.name for r in file_rows]
    expect(all(n.startswith(" ID:") for n in names), f"file rows: {names}")
    expect(any(" 動画          " in n for n in names), f"no movie row: {names}")
    template_rows = rows(kelvane, templates)
    expect(len(template_rows) == 64, f"{len(template_rows)} template rows")
    expect(template_rows[10].name.startswith(" A "), f"slot 10: {template_rows[10].name}")
    expect(template_rows[26].name.startswith("   "), f"slot 26: {template_rows[26].name}")

    # A click selects the row, as assistive technology reads it.
    click(file_rows[-1])
    wait_for(lambda: selected(rows(kelvane, files)[-1]), "the clicked file row to be selected")

    # A real drag with the mouse, through the X server: the first file onto an empty slot.
    free = next(i for i, r in enumerate(template_rows) if "未設定" in r.name)
    first_id = names[0].split()[0]  # "ID:0000"
    drag(file_rows[0], template_rows[free])
    wait_for(lambda: first_id in rows(kelvane, templates)[free].name,
             "the template slot to take the dragged file")
    screenshot(os.path.join(SCREENSHOTS, "lists-after-drag.png"), main)
    open_menu(kelvane, main, "編集(E)", "元に戻す(U)")
    wait_for(lambda: "未設定" in rows(kelvane, templates)[free].name, "undo of the drop")

    # The preview shows the file pressed last; saving writes its own image, not the pane's.
    preview = kelvane.find(main, None, "プレビュー")
    saved = os.path.join(scratch, "preview.bmp")
    context_menu(preview, "i")  # "プレビュー画像を保存(&I)..."
    choose_file(kelvane, "プレビュー画像を保存", saved, "保存(S)")
    with open(saved, "rb") as image:
        head = image.read(54)
        image.seek(0, os.SEEK_END)
        size = image.tell()
    width, height = struct.unpack("<ii", head[18:26])
    box = preview.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    expect(head[:2] == b"BM" and size == 54 + width * height * 4, "not the preview's BMP file")
    expect((width, height) != (box.width, box.height), f"saved at the pane's size {width}x{height}")

    # The option goes to the INI file as soon as it changes.
    context_menu(rows(kelvane, files)[0], "v")  # "プレビュー表示(&V)"
    wait_for(lambda: read_ini(kelvane.ini_path).get("FileView", {}).get("Preview") == "0",
             "FileView/Preview=0 in the INI file")


if __name__ == "__main__":
    run([lists_and_preview])
