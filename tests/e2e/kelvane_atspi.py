"""Drives the real kelvane program the way assistive technology sees it: over AT-SPI, by role and
visible name, with the mouse and keyboard going through the X server. Every wait is bounded and
watches the program's state; nothing sleeps for a fixed time."""

import os
import shutil
import struct
import subprocess
import time

import pyatspi
from gi.repository import Atspi

DEFAULT_TIMEOUT = 20.0
POLL = 0.05


class WalkthroughError(AssertionError):
    pass


def wait_for(predicate, what, timeout=DEFAULT_TIMEOUT):
    """Polls `predicate` until it returns something true; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # the tree changes under us while windows come and go
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise WalkthroughError(f"timed out waiting for {what}{detail}")
        time.sleep(POLL)


def children(acc):
    result = []
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            result.append(child)
    return result


def walk(acc):
    yield acc
    for child in children(acc):
        yield from walk(child)


def role(acc):
    return acc.getRoleName()


def states(acc):
    return acc.getState()


def is_enabled(acc):
    return states(acc).contains(pyatspi.STATE_ENABLED)


def is_showing(acc):
    return states(acc).contains(pyatspi.STATE_SHOWING)


def find_all(root, role_name=None, name=None, showing_only=False):
    found = []
    for acc in walk(root):
        try:
            if role_name is not None and role(acc) != role_name:
                continue
            if name is not None and acc.name != name:
                continue
            if showing_only and not is_showing(acc):
                continue
            found.append(acc)
        except Exception:
            continue
    return found


def dump(acc, depth=0, out=None):
    lines = out if out is not None else []
    try:
        flags = "" if is_enabled(acc) else " [disabled]"
        lines.append("  " * depth + f"{role(acc)} '{acc.name}'{flags}")
    except Exception as error:
        lines.append("  " * depth + f"<gone: {error}>")
        return lines
    for child in children(acc):
        dump(child, depth + 1, lines)
    return lines


class Kelvane:
    """One run of the program from a private copy of its folder, so that its INI file is its own."""

    def __init__(self, build_bin, scratch, args=(), env=None):
        self.folder = os.path.join(scratch, "bin")
        os.makedirs(self.folder, exist_ok=True)
        for name in os.listdir(build_bin):
            # frei0r-probe reads frei0r plug-ins for the bridge in a process of its own.
            if name in ("kelvane", "frei0r-probe") or name.endswith((".so", ".spi")):
                target = os.path.join(self.folder, name)
                if not os.path.exists(target):
                    shutil.copy2(os.path.join(build_bin, name), target)
        run_env = dict(os.environ)
        run_env.update({
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_QPA_PLATFORM": "xcb",
            "QT_ACCESSIBILITY": "1",
            "NO_AT_BRIDGE": "0",
        })
        run_env.update(env or {})
        self.log_path = os.path.join(scratch, "kelvane.log")
        self.log = open(self.log_path, "ab")
        self.process = subprocess.Popen([os.path.join(self.folder, "kelvane"), *args],
                                        env=run_env, stdout=self.log, stderr=subprocess.STDOUT)
        self.app = wait_for(self._find_app, "the program on the AT-SPI bus")

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            try:
                if app.get_process_id() == self.process.pid:
                    return app
            except Exception:
                continue
        if self.process.poll() is not None:
            raise WalkthroughError(f"kelvane ended early with status {self.process.returncode}")
        return None

    @property
    def ini_path(self):
        return os.path.join(self.folder, "kelvane.INI")

    def refresh(self):
        try:
            self.app.clear_cache()
        except Exception:
            pass

    def windows(self):
        self.refresh()
        return children(self.app)

    def window(self, role_name, name, timeout=DEFAULT_TIMEOUT):
        def look():
            for win in self.windows():
                if role(win) == role_name and win.name == name and is_showing(win):
                    return win
            return None
        return wait_for(look, f"{role_name} '{name}'", timeout)

    def window_named(self, name, timeout=DEFAULT_TIMEOUT):
        def look():
            for win in self.windows():
                if win.name == name and is_showing(win):
                    return win
            return None
        return wait_for(look, f"window '{name}'", timeout)

    def no_window(self, name, timeout=DEFAULT_TIMEOUT):
        def gone():
            # A program that has ended has no windows left to ask about.
            if self.process.poll() is not None:
                return True
            return all(not (win.name == name and is_showing(win)) for win in self.windows())
        wait_for(gone, f"window '{name}' to close", timeout)

    def main_window(self, title, timeout=DEFAULT_TIMEOUT, modified=None):
        """The main window by its title, "NAME - Kelvane"; the title shows "NAME* - Kelvane" while
        the project has unsaved changes. `modified` True or False asks for one of the two only."""
        marked = title.replace(" - Kelvane", "* - Kelvane", 1)
        names = {None: (title, marked), False: (title,), True: (marked,)}[modified]

        def look():
            for win in self.windows():
                if role(win) == "frame" and win.name in names and is_showing(win):
                    return win
            return None
        return wait_for(look, f"frame '{title}'", timeout)

    def find(self, root, role_name, name, timeout=DEFAULT_TIMEOUT, showing_only=False):
        def look():
            self.refresh()
            matches = find_all(root, role_name, name, showing_only)
            return matches[0] if matches else None
        return wait_for(look, f"{role_name} '{name}'", timeout)

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        def ended():
            return self.process.poll() is not None
        wait_for(ended, "kelvane to end", timeout)
        return self.process.returncode

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


def hover(acc):
    """Moves the mouse pointer over the middle of the object."""
    x, y = centre(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "abs")


def centre(acc):
    extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def click(acc):
    """A left click in the middle of the object, through the X server like a real mouse."""
    x, y = centre(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")


KEYSYMS = {"Escape": 0xFF1B, "Return": 0xFF0D, "F6": 0xFFC3, "Delete": 0xFFFF}


def press_key(name):
    """A key press and release by X key symbol ("Escape", "Return", "F6"), through the X server."""
    Atspi.generate_keyboard_event(KEYSYMS[name], None, Atspi.KeySynthType.SYM)


def press_keycode(code):
    """A key press and release by X key code, as the keyboard sends it (66 is Caps Lock)."""
    Atspi.generate_keyboard_event(code, None, Atspi.KeySynthType.PRESSRELEASE)


def set_text(acc, text):
    acc.queryEditableText().setTextContents(text)


def screenshot(path, acc=None):
    """Saves the screen, or only the part that `acc` covers, as a PNG file for a person to see."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    command = ["import", "-window", "root"]
    if acc is not None:
        box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        command += ["-crop", f"{box.width}x{box.height}+{box.x}+{box.y}", "+repage"]
    subprocess.run(command + [path], check=True, timeout=30)


# --- running walkthroughs -------------------------------------------------------------------

BIN = os.environ.get("KELVANE_E2E_BIN", "")
SCRATCH = os.path.abspath(os.environ.get("KELVANE_E2E_SCRATCH", "/tmp/kelvane-e2e"))
SCREENSHOTS = os.environ.get("KELVANE_E2E_SCREENSHOTS", os.path.join(SCRATCH, "screenshots"))

_running = []


def start(scratch, *args, **kwargs):
    """Starts kelvane from a private copy of the build's bin folder inside `scratch`."""
    program = Kelvane(BIN, scratch, args, **kwargs)
    _running.append(program)
    return program


def open_menu(program, main, menu, item):
    """Clicks a menu of the menu bar, then one of its items once it shows."""
    click(program.find(main, "menu item", menu))
    click(program.find(main, "menu item", item, showing_only=True))


def menu_items(program, main, menu):
    """Opens a menu of the menu bar and returns its shown items by name; the menu stays open."""
    click(program.find(main, "menu item", menu))
    bar_item = program.find(main, "menu item", menu)
    popup = wait_for(lambda: next((c for c in children(bar_item) if is_showing(c)), None),
                     f"menu {menu} to open")
    wait_for(lambda: is_showing(popup), f"menu {menu} to show")
    program.refresh()  # the states were brought up to date as the menu opened
    return {acc.name: acc for acc in children(popup) if role(acc) == "menu item" and is_showing(acc)}


def wait_enabled(program, acc, enabled=True, timeout=10.0):
    """Waits until the object's enabled state is `enabled`: state changes reach the bus a little
    after the program made them."""
    def settled():
        program.refresh()
        return is_enabled(acc) == enabled
    wait_for(settled, f"'{acc.name}' to be {'enabled' if enabled else 'disabled'}", timeout)


def click_to_activate(program, window, x, y):
    """A left click at (x, y) inside `window`, then a wait until the window is the active one: with
    no window manager the program takes the keyboard focus back a little after a dialog has closed,
    and a key pressed before that goes nowhere."""
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")

    def active():
        program.refresh()
        return window.getState().contains(pyatspi.STATE_ACTIVE)
    wait_for(active, f"'{window.name}' to be the active window")


def close_menu(program, main, menu):
    """Closes an open menu with Esc and waits until it is gone, so that the next key reaches the
    window and not the closing menu."""
    press_key("Escape")
    bar_item = program.find(main, "menu item", menu)

    def closed():
        program.refresh()
        return not any(is_showing(child) for child in children(bar_item))
    wait_for(closed, f"menu {menu} to close")


def choose_file(program, dialog_title, path, button):
    """Answers Qt's own file dialog: types the path into its name field and presses `button`."""
    dialog = program.window_named(dialog_title)
    set_text(program.find(dialog, "text", "ファイル名(N):"), path)
    accept = program.find(dialog, "push button", button)
    wait_for(lambda: is_enabled(accept), f"'{button}' to be enabled")
    click(accept)
    program.no_window(dialog_title)


def read_ini(path):
    """The INI file as {section: {key: value}}, keys as written."""
    sections = {}
    current = None
    with open(path, encoding="utf-8") as handle:
        for line in handle:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                key, value = line.split("=", 1)
                current[key] = value
    return sections


def saved_project(path):
    """({file ID: (kind, path)}, {track: [(start, file ID), ...]}) of a saved project file."""
    with open(path, "rb") as handle:
        data = handle.read()
    if data[:4] != b"MPRJ":
        raise WalkthroughError(f"{path} is no project file")
    at, files, tracks = 4, {}, {}
    while at < len(data):
        (tag,) = struct.unpack_from("<I", data, at)
        at += 4
        if tag == 0:  # a skip chunk: its size, then what older readers pass over
            (size,) = struct.unpack_from("<I", data, at)
            at += 4 + size
        elif tag == 1:
            at += 4
        elif tag == 2:
            break
        elif tag == 3:
            at += 520 + 4 * 2 + 8 + 4 * 3
        elif tag == 4:
            file_id, kind = struct.unpack_from("<II", data, at)
            at += 8 + (8 if kind == 1 else 0)
            files[file_id] = (kind, data[at:at + 520].decode("utf-16-le").split("\0")[0])
            at += 520 + (0 if kind == 4 else 4)  # an effect entry keeps no colour
        elif tag == 5:
            track, count = struct.unpack_from("<II", data, at)
            at += 8
            tracks[track] = [struct.unpack_from("<Ii", data, at + 152 * i + 4)
                             for i in range(count)]
            at += 152 * count
        elif tag == 6:
            at += 4 + 152
        elif tag == 0:  # skip chunks: extensions that older readers pass over
            (size,) = struct.unpack_from("<I", data, at)
            at += 4 + size
        else:
            raise WalkthroughError(f"unexpected chunk {tag} in {path}")
    return files, tracks


def saved_skip_chunks(path):
    """{four-byte name: body after the name} of the skip chunks of a saved project file."""
    with open(path, "rb") as handle:
        data = handle.read()
    at, chunks = 4, {}
    while at + 4 <= len(data):
        (tag,) = struct.unpack_from("<I", data, at)
        at += 4
        if tag == 0:
            (size,) = struct.unpack_from("<I", data, at)
            body = data[at + 4:at + 4 + size]
            chunks[body[:4].decode("latin-1")] = body[4:]
            at += 4 + size
        elif tag == 2:
            break
        elif tag == 1:
            at += 4
        elif tag == 3:
            at += 520 + 4 * 2 + 8 + 4 * 3
        elif tag == 4:
            file_id, kind = struct.unpack_from("<II", data, at)
            if kind == 3:
                (block,) = struct.unpack_from("<I", data, at + 8 + 4 + 92)
                at += 8 + 4 + 92 + 4 + block
            else:
                at += 8 + (8 if kind == 1 else 0) + 520 + (0 if kind == 4 else 4)
        elif tag == 5:
            (count,) = struct.unpack_from("<I", data, at + 4)
            at += 8 + 152 * count
        elif tag == 6:
            at += 4 + 152
        else:
            raise WalkthroughError(f"unexpected chunk {tag} in {path}")
    return chunks


def saved_tracks(path):
    """{track: [(start, file ID), ...]} of a saved project file."""
    return saved_project(path)[1]


def run(walkthroughs):
    """Runs each walkthrough with a scratch folder of its own; the exit status tells ctest."""
    import sys
    import traceback

    failures = 0
    for walkthrough in walkthroughs:
        scratch = os.path.join(SCRATCH, walkthrough.__name__)
        os.makedirs(scratch, exist_ok=True)
        began = time.monotonic()
        try:
            walkthrough(scratch)
            print(f"PASS {walkthrough.__name__} ({time.monotonic() - began:.1f} s)", flush=True)
        except Exception:
            failures += 1
            print(f"FAIL {walkthrough.__name__}", flush=True)
            traceback.print_exc()
            for program in _running:
                if program.process.poll() is None:
                    try:
                        for win in program.windows():
                            print("\n".join(dump(win)))
                    except Exception as error:
                        print(f"(no tree: {error})")
                program.log.flush()
                with open(program.log_path, encoding="utf-8", errors="replace") as log:
                    print("--- kelvane output ---\n" + log.read())
        finally:
            while _running:
                _running.pop().kill()
    sys.exit(1 if failures else 0)
