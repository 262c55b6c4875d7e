"""The window seen over AT-SPI: title, menus and their states, the panes, the status bar, save as,
open, the recent-file list, the about box, and how the program ends."""

import os
import struct
import subprocess

from kelvane_atspi import (WalkthroughError, children, choose_file, click, close_menu, hover,
                           menu_items,
                           open_menu, press_key, press_keycode, read_ini, run, screenshot, set_text, start, wait_enabled, wait_for,
                           BIN, SCREENSHOTS)
import pyatspi

NEW_TITLE = "新規プロジェクト - Kelvane"
CAPS_LOCK = 66  # the X key code of Caps Lock


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def title_menus_panes_and_states(scratch):
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    expect(main.getState().contains(pyatspi.STATE_ACTIVE), "the main window is not active")

    bar = kelvane.find(main, "menu bar", "")
    names = [item.name for item in children(bar) if item.getRoleName() == "menu item"]
    expect(names == ["ファイル(F)", "編集(E)", "表示(V)", "設定(S)", "ヘルプ(H)"], f"menu bar: {names}")
    for pane in ["プレビュー", "ファイル一覧", "イベント一覧", "タイムライン"]:
        kelvane.find(main, None, pane)
    for label in ["レディ", "CAP", "NUM", "SCRL"]:
        kelvane.find(main, "label", label)
    wait_enabled(kelvane, kelvane.find(main, "push button", "印刷"), False)
    wait_enabled(kelvane, kelvane.find(main, "push button", "新規作成"))

    # The status bar shows the prompt of the command under the mouse, and "レディ" again after.
    hover(kelvane.find(main, "push button", "バージョン情報"))
    kelvane.find(main, "label", "プログラムの情報とバージョンを表示します")
    hover(kelvane.find(main, None, "タイムライン"))
    kelvane.find(main, "label", "レディ")

    items = menu_items(kelvane, main, "ファイル(F)")
    expect(list(items) == ["新規作成(N)", "開く(O)...", "上書き保存(S)", "名前を付けて保存(A)...",
                           "AVIファイルの作成(V)...", "プロジェクトの設定(P)...", "最近使ったファイル",
                           "アプリケーションの終了(X)"], f"file menu: {list(items)}")
    wait_enabled(kelvane, items["最近使ったファイル"], False)  # the empty list's placeholder
    close_menu(kelvane, main, "ファイル(F)")

    # The preview pane is active at start: none of its neighbours' edit commands apply.
    items = menu_items(kelvane, main, "編集(E)")
    for name in ["プロパティ(S)...", "切り取り(T)", "コピー(C)", "貼り付け(P)", "消去(D)",
                 "元に戻す(U)", "やり直し(R)"]:
        wait_enabled(kelvane, items[name], False)
    close_menu(kelvane, main, "編集(E)")

    items = menu_items(kelvane, main, "表示(V)")
    expect(items["ツール バー(T)"].getState().contains(pyatspi.STATE_CHECKED), "toolbar unchecked")
    close_menu(kelvane, main, "表示(V)")

    # The keys reach the window: F6 moves the focus from the preview to the file list.
    press_key("F6")
    file_list = kelvane.find(main, None, "ファイル一覧")
    wait_for(lambda: file_list.getState().contains(pyatspi.STATE_FOCUSED), "F6 to focus the file list")
    screenshot(os.path.join(SCREENSHOTS, "main-window-new-project.png"), main)

    # The lock indicators follow the keyboard (XKB): Caps Lock lights "CAP" and puts it out again.
    cap = kelvane.find(main, "label", "CAP")
    wait_enabled(kelvane, cap, False)
    press_keycode(CAPS_LOCK)
    wait_enabled(kelvane, cap, True)
    press_keycode(CAPS_LOCK)
    wait_enabled(kelvane, cap, False)

    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")
    settings = read_ini(kelvane.ini_path).get("Settings", {})
    expect(settings.get("DrawFrameThread") == "4", f"settings written at exit: {settings}")


def save_as_open_and_recent_files(scratch):
    project = os.path.join(scratch, "walk.xqm")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    open_menu(kelvane, main, "ファイル(F)", "名前を付けて保存(A)...")
    choose_file(kelvane, "名前を付けて保存", os.path.join(scratch, "walk"), "保存(S)")
    main = kelvane.main_window("walk.xqm - Kelvane")
    with open(project, "rb") as saved:
        expect(saved.read(4) == b"MPRJ", "the saved file is no project file")

    click(kelvane.find(main, "push button", "新規作成"))
    main = kelvane.main_window(NEW_TITLE)
    open_menu(kelvane, main, "ファイル(F)", "開く(O)...")
    choose_file(kelvane, "開く", project, "開く(O)")
    main = kelvane.main_window("walk.xqm - Kelvane")
    screenshot(os.path.join(SCREENSHOTS, "main-window-project-open.png"), main)

    items = menu_items(kelvane, main, "ファイル(F)")
    recent = "1 " + project
    expect(recent in items, f"recent files: {list(items)}")
    wait_enabled(kelvane, items[recent])
    click(items["アプリケーションの終了(X)"])
    expect(kelvane.wait_exit() == 0, "exit status")
    recent_list = read_ini(kelvane.ini_path).get("Recent File List", {})
    expect(recent_list.get("File1") == project, f"recent list in the INI file: {recent_list}")


def about_box(scratch):
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    open_menu(kelvane, main, "ヘルプ(H)", "バージョン情報(A)...")
    about = kelvane.window_named("バージョン情報 Kelvane")
    kelvane.find(about, "label", "Kelvane Version 2.7")
    screenshot(os.path.join(SCREENSHOTS, "about-box.png"), about)
    click(kelvane.find(about, "push button", "OK"))
    kelvane.no_window("バージョン情報 Kelvane")
    main.queryComponent()  # the main window is still there


def unreadable_project_on_the_command_line_ends_with_status_1(scratch):
    broken = os.path.join(scratch, "broken.xqm")
    with open(broken, "wb") as handle:
        handle.write(b"MPRJ but nothing after it")
    kelvane = start(scratch, broken)
    box = kelvane.window_named("エラー")
    # The second line names the file and what is wrong with it: " but" is no chunk's tag.
    kelvane.find(box, "label", "読み込みに失敗しました。\n" + broken +
                 ": 4 バイト目に不明なチャンク (タグ 1953849888) があります。")
    click(kelvane.find(box, "push button", "OK"))
    expect(kelvane.wait_exit() == 1, "exit status after an unreadable project")


def change_the_project(kelvane, main):
    """Sets the output width to 640 through the project settings; False when that dialog is not
    part of the program yet."""
    items = menu_items(kelvane, main, "ファイル(F)")
    try:
        wait_enabled(kelvane, items["プロジェクトの設定(P)..."], True, timeout=2.0)
    except WalkthroughError:
        close_menu(kelvane, main, "ファイル(F)")
        return False
    click(items["プロジェクトの設定(P)..."])
    dialog = kelvane.window_named("プロジェクトのプロパティ")
    set_text(kelvane.find(dialog, "text", "出力の幅"), "640")
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("プロジェクトのプロパティ")
    return True


def answer_save_question(kelvane, button):
    box = kelvane.window_named("Kelvane")
    kelvane.find(box, "label", "新規プロジェクト への変更を保存しますか?")
    # Qt's Japanese translation names the buttons with their mnemonics: はい(&Y), いいえ(&N).
    for name in ["はい(Y)", "いいえ(N)", "キャンセル"]:
        kelvane.find(box, "push button", name)
    click(kelvane.find(box, "push button", button))
    kelvane.no_window("Kelvane")


def exit_asks_to_save_changes(scratch):
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    if not change_the_project(kelvane, main):
        print("  (no project settings dialog yet: nothing in the window changes the project)")
        return
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    answer_save_question(kelvane, "キャンセル")
    expect(kelvane.process.poll() is None, "Cancel ended the program")
    kelvane.main_window(NEW_TITLE)
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    answer_save_question(kelvane, "いいえ(N)")
    expect(kelvane.wait_exit() == 0, "exit status after いいえ")

    # はい saves through the save dialog before the program ends; the file renders 640 wide.
    project = os.path.join(scratch, "changed.xqm")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    expect(change_the_project(kelvane, main), "project settings went away")
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    answer_save_question(kelvane, "はい(Y)")
    choose_file(kelvane, "名前を付けて保存", project, "保存(S)")
    expect(kelvane.wait_exit() == 0, "exit status after はい")
    frame = os.path.join(scratch, "frame.bmp")
    subprocess.run([os.path.join(BIN, "kelvane-render"), project, "--frame", "0", "-o", frame],
                   check=True, timeout=60, stdout=subprocess.DEVNULL)
    with open(frame, "rb") as bmp:
        header = bmp.read(26)
    expect(struct.unpack_from("<i", header, 18)[0] == 640, "the saved project is not 640 wide")


def demo_project_on_the_command_line(scratch):
    """The demo project of `make demo`, when it was made: opened at start-up, for the picture."""
    demo = os.path.abspath(os.path.join(BIN, "..", "demo", "demo.xqm"))
    if not os.path.exists(demo):
        print(f"  (no {demo}: run `make demo` for this walkthrough)")
        return
    kelvane = start(scratch, demo)
    main = kelvane.main_window("demo.xqm - Kelvane")
    screenshot(os.path.join(SCREENSHOTS, "main-window-demo.png"), main)
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")


if __name__ == "__main__":
    run([title_menus_panes_and_states, save_as_open_and_recent_files, about_box,
         unreadable_project_on_the_command_line_ends_with_status_1, exit_asks_to_save_changes,
         demo_project_on_the_command_line])
