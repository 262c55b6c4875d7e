"""The property and export dialogs seen over AT-SPI: the project's size and rate changed in its
dialog and found in the saved file, an invalid value refused with nothing changed, the export from
the menu with the uncompressed and a lossless compressor compared with kelvane-render's, and an
export cancelled halfway that leaves a valid shorter file."""

import os
import re
import struct
import subprocess

from kelvane_atspi import (WalkthroughError, choose_file, click, find_all, open_menu, read_ini,
                           run, screenshot, set_text, start, wait_for, BIN, SCREENSHOTS)

NEW_TITLE = "新規プロジェクト - Kelvane"
RENDER = os.path.join(BIN, "kelvane-render")


def expect(condition, message):
    if not condition:
        raise WalkthroughError(message)


def bmp_size(project, scratch):
    frame = os.path.join(scratch, "frame.bmp")
    subprocess.run([RENDER, project, "--frame", "0", "-o", frame], check=True, timeout=60,
                   stdout=subprocess.DEVNULL)
    with open(frame, "rb") as bmp:
        header = bmp.read(26)
    return struct.unpack_from("<ii", header, 18)


def frame_count(avi):
    """The video frames ffprobe counts in the file: a file that decodes is a valid one."""
    result = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames",
                             "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", avi],
                            capture_output=True, text=True, timeout=120)
    expect(result.returncode == 0, f"ffprobe cannot read {avi}: {result.stderr}")
    return int(result.stdout.strip())


def project_settings(kelvane, main, fields, rate_question=None):
    open_menu(kelvane, main, "ファイル(F)", "プロジェクトの設定(P)...")
    dialog = kelvane.window_named("プロジェクトのプロパティ")
    for name, text in fields.items():
        set_text(kelvane.find(dialog, "text", name), text)
    click(kelvane.find(dialog, "push button", "OK"))
    if rate_question is not None:
        box = kelvane.window_named("確認")
        click(kelvane.find(box, "push button", rate_question))
    kelvane.no_window("プロジェクトのプロパティ")


def save_as(kelvane, main, path):
    open_menu(kelvane, main, "ファイル(F)", "名前を付けて保存(A)...")
    choose_file(kelvane, "名前を付けて保存", path, "保存(S)")


def quit_program(kelvane, main):
    open_menu(kelvane, main, "ファイル(F)", "アプリケーションの終了(X)")
    expect(kelvane.wait_exit() == 0, "exit status")


def size_and_rate_reach_the_saved_file(scratch):
    project = os.path.join(scratch, "settings.xqm")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    project_settings(kelvane, main, {"出力の幅": "640", "出力の高さ": "360", "フレームレート": "25",
                                     "動画の長さ": "12", "背景色(RGB) R": "200"},
                     rate_question="OK")
    save_as(kelvane, main, project)
    main = kelvane.main_window("settings.xqm - Kelvane")
    quit_program(kelvane, main)
    expect(bmp_size(project, scratch) == (640, 360), "the saved project is not 640 x 360")
    # The rate: kelvane-render writes it into the stream as rate / scale = 250000 / 10000.
    avi = os.path.join(scratch, "rate.avi")
    subprocess.run([RENDER, project, "-o", avi], check=True, timeout=120, stdout=subprocess.DEVNULL)
    result = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "stream=r_frame_rate", "-of", "csv=p=0", avi],
                            capture_output=True, text=True, timeout=60)
    expect(result.stdout.strip() == "25/1", f"frame rate in the file: {result.stdout.strip()}")


def an_invalid_value_is_refused_and_changes_nothing(scratch):
    project = os.path.join(scratch, "unchanged.xqm")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    save_as(kelvane, main, project)
    main = kelvane.main_window("unchanged.xqm - Kelvane")
    with open(project, "rb") as saved:
        before = saved.read()

    open_menu(kelvane, main, "ファイル(F)", "プロジェクトの設定(P)...")
    dialog = kelvane.window_named("プロジェクトのプロパティ")
    set_text(kelvane.find(dialog, "text", "出力の幅"), "800")
    set_text(kelvane.find(dialog, "text", "出力の高さ"), "0")
    click(kelvane.find(dialog, "push button", "OK"))
    box = kelvane.window_named("エラー")
    kelvane.find(box, "label", "1 から 4096 までの整数を入力してください。")
    screenshot(os.path.join(SCREENSHOTS, "project-settings-refused.png"))
    click(kelvane.find(box, "push button", "OK"))
    kelvane.no_window("エラー")
    # The dialog stays open on the refused field; Cancel leaves the project as it was.
    dialog = kelvane.window_named("プロジェクトのプロパティ")
    click(kelvane.find(dialog, "push button", "キャンセル"))
    kelvane.no_window("プロジェクトのプロパティ")
    main = kelvane.main_window("unchanged.xqm - Kelvane", modified=False)
    open_menu(kelvane, main, "ファイル(F)", "上書き保存(S)")
    quit_program(kelvane, main)
    with open(project, "rb") as saved:
        expect(saved.read() == before, "the refused dialog changed the saved project")


def choose_compressor(kelvane, description):
    dialog = kelvane.window_named("ビデオの圧縮")
    # Qt names a drop-down by its current entry (its label "圧縮プログラム" is attached to it as
    # its buddy); it is the dialog's only one.
    combos = wait_for(lambda: find_all(dialog, "combo box"), "the drop-down")
    expect(combos[0].name == "全フレーム (非圧縮)" or combos[0].name, "no entry chosen")
    click(combos[0])
    click(kelvane.find(kelvane.app, "list item", description, showing_only=True))

    def chosen():
        kelvane.refresh()
        return find_all(dialog, "combo box")[0].name == description
    wait_for(chosen, f"'{description}' to be chosen")  # and its list closed again
    click(kelvane.find(dialog, "push button", "OK"))
    kelvane.no_window("ビデオの圧縮")


def export_from_menu(kelvane, main, path, compressor=None):
    open_menu(kelvane, main, "ファイル(F)", "AVIファイルの作成(V)...")
    choose_file(kelvane, "名前を付けて保存", path, "保存(S)")
    if compressor is None:
        dialog = kelvane.window_named("ビデオの圧縮")
        click(kelvane.find(dialog, "push button", "OK"))
        kelvane.no_window("ビデオの圧縮")
    else:
        choose_compressor(kelvane, compressor)


def export_equals_kelvane_render(scratch):
    project = os.path.join(scratch, "export.xqm")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    project_settings(kelvane, main, {"出力の幅": "160", "出力の高さ": "120", "動画の長さ": "20",
                                     "背景色(RGB) G": "128"})
    save_as(kelvane, main, project)
    main = kelvane.main_window("export.xqm - Kelvane")
    for codec, description in [("uncompressed", None), ("ffv1", "FFV1 (可逆圧縮)")]:
        window = os.path.join(scratch, f"window-{codec}.avi")
        export_from_menu(kelvane, main, window, description)
        kelvane.no_window("AVIファイル作成状況", timeout=60)
        wait_for(lambda: os.path.exists(window), f"{window} to be written")
        reference = os.path.join(scratch, f"render-{codec}.avi")
        subprocess.run([RENDER, project, "-o", reference, "--codec", codec], check=True,
                       timeout=120, stdout=subprocess.DEVNULL)
        with open(window, "rb") as a, open(reference, "rb") as b:
            expect(a.read() == b.read(), f"{codec}: the window's file differs from kelvane-render's")
        expect(frame_count(window) == 20, f"{codec}: frames in the file")
    quit_program(kelvane, main)
    # The last choice is kept in the INI file for the next export.
    section = read_ini(kelvane.ini_path).get("AviExport", {})
    expect(section.get("Compressor") == "ffv1", f"remembered compressor: {section}")


def cancel_halfway_leaves_a_valid_shorter_file(scratch):
    project = os.path.join(scratch, "long.xqm")
    avi = os.path.join(scratch, "cancelled.avi")
    kelvane = start(scratch)
    main = kelvane.main_window(NEW_TITLE)
    project_settings(kelvane, main, {"出力の幅": "320", "出力の高さ": "240", "動画の長さ": "100000"})
    save_as(kelvane, main, project)
    main = kelvane.main_window("long.xqm - Kelvane")
    export_from_menu(kelvane, main, avi, "FFV1 (可逆圧縮)")
    progress = kelvane.window_named("AVIファイル作成状況")
    # The progress text (the label's name is its text) moves on from its start once frames are
    # written.
    def going():
        kelvane.refresh()
        texts = [acc.name for acc in find_all(progress, "label")]
        return any(t.startswith("現在位置") and not t.startswith("現在位置 00:00.000") for t in texts)
    wait_for(going, "the export to get going", timeout=60)
    screenshot(os.path.join(SCREENSHOTS, "export-progress.png"), progress)
    click(kelvane.find(progress, "push button", "中断"))
    # A cancel is no error: the box goes by the program's name and names the file left behind.
    box = kelvane.window_named("Kelvane")
    screenshot(os.path.join(SCREENSHOTS, "export-cancelled.png"), box)
    texts = [acc.name for acc in find_all(box, "label")]
    lines = next((t.split("\n") for t in texts if t.startswith("エラーまたはキャンセル")), [])
    expect(len(lines) == 2 and lines[0] == "エラーまたはキャンセル操作によって中断されました。",
           f"the cancel message: {texts}")
    named = re.fullmatch(r"途中までのファイル: (.*) \((\d+) フレーム\)", lines[1])
    expect(named is not None and named.group(1) == avi, f"the partial file: {lines[1]}")
    click(kelvane.find(box, "push button", "OK"))
    kelvane.no_window("Kelvane")
    quit_program(kelvane, main)
    frames = frame_count(avi)
    expect(0 < frames < 100000, f"frames in the cancelled file: {frames}")
    expect(frames == int(named.group(2)), f"{frames} frames in the file, {named.group(2)} named")


if __name__ == "__main__":
    run([size_and_rate_reach_the_saved_file, an_invalid_value_is_refused_and_changes_nothing,
         export_equals_kelvane_render, cancel_halfway_leaves_a_valid_shorter_file])
