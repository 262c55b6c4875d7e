"""The window seen over AT-SPI: title, menus and their states, the panes, the status bar, save as,
open, the recent-file list, the about box, and how the program ends."""

import os

from kelvane_atspi import (WalkthroughError, children, choose_file, click, menu_items,
                           open_menu, press_key, read_ini, run, screenshot, start, wait_enabled, wait_for,
                           SCREENSHOTS)
import pyatspi

NEW_TITLE = "新規プロジェクト - Kelvane"


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

    items = menu_items(kelvane, main, "ファイル(F)")
    expect(list(items) == ["新規作成(N)", "開く(O)...", "上書き保存(S)", "名前を付けて保存(A)...",
                           "AVIファイルの作成(V)...", "プロジェクトの設定(P)...", "最近使ったファイル",
                           "アプリケーションの終了(X)"], f"file menu: {list(items)}")
    wait_enabled(kelvane, items["最近使ったファイル"], False)  # the empty list's placeholder
    press_key("Escape")

    # The preview pane is active at start: none of its neighbours' edit commands apply.
    items = menu_items(kelvane, main, "編集(E)")
    for name in ["プロパティ(S)...", "切り取り(T)", "コピー(C)", "貼り付け(P)", "消去(D)",
                 "元に戻す(U)", "やり直し(R)"]:
        wait_enabled(kelvane, items[name], False)
    press_key("Escape")

    items = menu_items(kelvane, main, "表示(V)")
    expect(items["ツール バー(T)"].getState().contains(pyatspi.STATE_CHECKED), "toolbar unchecked")
    press_key("Escape")

    # The keys reach the window: F6 moves the focus from the preview to the file list.
    press_key("F6")
    file_list = kelvane.find(main, None, "ファイル一覧")
    wait_for(lambda: file_list.getState().contains(pyatspi.STATE_FOCUSED), "F6 to focus the file list")
    screenshot(os.path.join(SCREENSHOTS, "main-window-new-project.png"), main)

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
    kelvane.find(box, "label", "読み込みに失敗しました。")
    click(kelvane.find(box, "push button", "OK"))
    expect(kelvane.wait_exit() == 1, "exit status after an unreadable project")


if __name__ == "__main__":
    run([title_menus_panes_and_states, save_as_open_and_recent_files, about_box,
         unreadable_project_on_the_command_line_ends_with_status_1])
