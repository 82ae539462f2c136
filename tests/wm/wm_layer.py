"""The program's windows as a desktop sees them: Xvfb with openbox, the real program, and the
stacking order, frames, hints and places that the window manager publishes. Every wait polls
with a time limit; nothing sleeps for a fixed time.
    wm_layer.py LANZO [SCREENSHOT_FOLDER]"""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

from Xlib import X, XK, display
from Xlib.error import BadWindow
from Xlib.ext import xtest
from Xlib.protocol import event

LANZO = os.path.abspath(sys.argv[1])
SHOTS = sys.argv[2] if len(sys.argv) > 2 else os.environ.get("LANZO_WM_SHOTS", "")
WIDTH, HEIGHT = 1280, 1024
TIMEOUT = 20
failures = []


class Failure(Exception):
    pass


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(probe, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out: " + what)
        time.sleep(0.02)


class Desktop:
    def __init__(self, work):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            if not select.select([read_end], [], [], TIMEOUT)[0]:
                raise Failure("Xvfb did not start")
            chunk = os.read(read_end, 32)
            if not chunk:
                raise Failure("Xvfb ended at start-up")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.d = display.Display(self.name)
        self.root = self.d.screen().root
        wm_home = os.path.join(work, "wm-home")
        os.makedirs(wm_home)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ, DISPLAY=self.name, HOME=wm_home),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"), "openbox starts")

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            process.wait(timeout=10)

    def atom(self, name):
        return self.d.intern_atom(name)

    def prop(self, window, name):
        try:
            value = window.get_full_property(self.atom(name), X.AnyPropertyType)
        except BadWindow:
            return None
        return value.value if value else None

    def window(self, wid):
        return self.d.create_resource_object("window", wid)

    def stacking(self):
        """The managed windows, bottom first."""
        return [self.window(w) for w in (self.prop(self.root, "_NET_CLIENT_LIST_STACKING") or [])]

    def title(self, window):
        name = self.prop(window, "_NET_WM_NAME")
        return name.decode("utf-8", "replace") if isinstance(name, bytes) else (name or "")

    def pid(self, window):
        value = self.prop(window, "_NET_WM_PID")
        return value[0] if value is not None and len(value) else None

    def windows_of(self, process):
        return [w for w in self.stacking() if self.pid(w) == process.pid]

    def find(self, process, title):
        matches = [w for w in self.windows_of(process) if self.title(w) == title]
        return matches[0] if matches else None

    def wait_window(self, process, title):
        return wait_for(lambda: self.find(process, title), f"window {title!r} appears")

    def frame(self, window):
        """x, y, width, height of the window with its frame, in screen pixels."""
        geometry = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        left, right, top, bottom = self.prop(window, "_NET_FRAME_EXTENTS") or (0, 0, 0, 0)
        return (-origin.x - left, -origin.y - top, geometry.width + left + right, geometry.height + top + bottom)

    def inner(self, window):
        geometry = window.get_geometry()
        return geometry.width, geometry.height

    def wm_state(self, window):
        value = self.prop(window, "WM_STATE")
        return value[0] if value is not None and len(value) else None

    def watch(self, window):
        window.change_attributes(event_mask=X.PropertyChangeMask)
        self.d.sync()
        self.count_changes(window, "")

    def count_changes(self, window, name):
        """How many times the property changed since the last call (other events are dropped)."""
        atom = self.atom(name) if name else None
        changes = 0
        while self.d.pending_events():
            ev = self.d.next_event()
            if ev.type == X.PropertyNotify and ev.window.id == window.id and ev.atom == atom:
                changes += 1
        return changes

    def active(self):
        value = self.prop(self.root, "_NET_ACTIVE_WINDOW")
        return value[0] if value is not None and len(value) else None

    def send(self, window, message, data):
        ev = event.ClientMessage(window=window, client_type=self.atom(message), data=(32, data + [0] * (5 - len(data))))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.sync()

    def activate(self, window):
        self.send(window, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])
        wait_for(lambda: self.active() == window.id, f"{self.title(window)!r} gets the focus")

    def iconify(self, window):
        self.send(window, "WM_CHANGE_STATE", [3])

    def keys(self, *combos):
        for combo in combos:
            codes = [self.d.keysym_to_keycode(XK.string_to_keysym(name)) for name in combo.split("+")]
            for code in codes:
                xtest.fake_input(self.d, X.KeyPress, code)
            for code in reversed(codes):
                xtest.fake_input(self.d, X.KeyRelease, code)
            self.d.sync()

    def click(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        xtest.fake_input(self.d, X.ButtonPress, 1)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.d.sync()

    def popups(self):
        shown = []
        for child in self.root.query_tree().children:
            try:
                attributes = child.get_attributes()
            except BadWindow:
                continue
            if attributes.override_redirect and attributes.map_state == X.IsViewable:
                shown.append(child.id)
        return shown

    def menu(self, main, access_key, downs):
        """Opens a menu of the main window with Alt+key and picks the item `downs` below the first."""
        self.activate(main)
        before = set(self.popups())
        self.keys("Alt_L+" + access_key)
        wait_for(lambda: set(self.popups()) - before, f"the menu Alt+{access_key} opens")
        self.keys(*(["Down"] * downs + ["Return"]))

    def shot(self, name):
        if SHOTS and shutil.which("import"):
            os.makedirs(SHOTS, exist_ok=True)
            subprocess.run(["import", "-display", self.name, "-window", "root", os.path.join(SHOTS, name + ".png")],
                           check=False)


def on_top_of_program(desk, process, window):
    """Whether the window is the topmost of the program's windows."""
    mine = desk.windows_of(process)
    return bool(mine) and mine[-1].id == window.id


def centre(rect):
    return rect[0] + rect[2] / 2, rect[1] + rect[3] / 2


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class Session:
    def __init__(self, desk, work):
        self.desk = desk
        self.work = work
        self.runtime = os.path.join(work, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.processes = []

    def home(self, name, lanzo_ini=None, files=()):
        home = os.path.join(self.work, name)
        os.makedirs(os.path.join(home, "config"))
        if lanzo_ini is not None:
            write(os.path.join(home, "config", "lanzo.ini"), lanzo_ini.replace("\n", "\r\n").encode())
        for relative, data in files:
            write(os.path.join(home, relative), data)
        return home

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.desk.name, XDG_RUNTIME_DIR=self.runtime)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env.update(extra)
        return env

    def start(self, home, **extra):
        process = subprocess.Popen([LANZO, "--home", home], env=self.env(**extra), stdout=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def main_window(self, process):
        return wait_for(lambda: [w for w in self.desk.windows_of(process) if self.desk.title(w).startswith("Lanzo ")],
                        "the main window appears")[0]

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)


def first_places(s):
    """No lanzo.ini: the control panel opens beside the main window, not over it."""
    desk = s.desk
    for name, ini, where in (("right", None, "to the right of"), ("below", "[WINDOW]\nWIDTH=800\n", "below")):
        process = s.start(s.home("first-" + name, ini))
        main = s.main_window(process)
        main_frame = desk.frame(main)
        check(main_frame[:2] == (0, 0), f"first start: main window at the top left corner ({main_frame})")
        desk.menu(main, "v", 1)
        panel = desk.wait_window(process, "コントロールパネル")
        panel_frame = wait_for(lambda: desk.wm_state(panel) == 1 and desk.frame(panel), "the panel is framed")
        if name == "right":
            want = (main_frame[0] + main_frame[2], main_frame[1])
        else:
            want = (main_frame[0], main_frame[1] + main_frame[3])
        check(panel_frame[:2] == want and not overlaps(panel_frame, main_frame),
              f"first start: control panel {where} the main window {main_frame}: {panel_frame}")
        desk.shot("panel_first_place_" + name)
        process.kill()


def stored_places(s):
    """Stored places that fit are kept; one off every screen or too large is brought back."""
    desk = s.desk
    process = s.start(s.home("stored-fit", "[WINDOW]\nWIDTH=600\nHEIGHT=400\nTOP=50\nLEFT=100\nCTRL=1\n"
                                          "[WINDOW2]\nTOP=3000\nLEFT=5000\n"))
    main = s.main_window(process)
    check(desk.frame(main)[:2] == (100, 50) and desk.inner(main) == (600, 400),
          f"stored place that fits: kept ({desk.frame(main)}, {desk.inner(main)})")
    panel = desk.wait_window(process, "コントロールパネル")
    x, y, w, h = desk.frame(panel)
    # Its frame is unknown until shown, so it may reach past the edge by the frame's own size.
    check(0 <= x and 0 <= y and x + w <= WIDTH + 8 and y + h <= HEIGHT + 40,
          f"control panel stored off every screen: brought back ({x}, {y}, {w}, {h})")
    process.kill()

    process = s.start(s.home("stored-huge", "[WINDOW]\nWIDTH=2147483647\nHEIGHT=2147483647\nTOP=-3000\nLEFT=-5000\n"))
    main = s.main_window(process)
    x, y, w, h = desk.frame(main)
    inner = desk.inner(main)
    check(x >= 0 and y >= 0 and inner[0] <= WIDTH and inner[1] <= HEIGHT,
          f"main window larger than the screen, stored off it: fitted ({x}, {y}, {inner})")
    with open(f"/proc/{process.pid}/status") as status:
        rss = [int(line.split()[1]) for line in status if line.startswith("VmRSS:")][0]
    check(rss < 400_000, f"main window larger than the screen: memory stays small ({rss} kB)")
    process.kill()


def stacking_and_jobs(s):
    """Modal windows above the always-on-top panels; the progress dialog never stays minimised."""
    desk = s.desk
    home = s.home("jobs", "[WINDOW]\nCTRL=1\n[WINDOW2]\nTOP=600\nLEFT=0\n", [
        # Every pair rewrites the whole text, so the job runs for minutes unless stopped.
        ("table/slow.tbl", b"a\tb\r\nb\ta\r\n" * 50000),
        ("config/edit.txt", b"http://example.jp/a.html abc def\r\n" * 30000),
        ("config/set2.ini", b"Convert\tslow\r\n"),
    ])
    process = s.start(home)
    main = s.main_window(process)
    desk.wait_window(process, "コントロールパネル")
    desk.menu(main, "v", 2)
    settings = desk.wait_window(process, "環境設定")
    # It takes the focus as it opens; keys sent before that happens would go to it.
    wait_for(lambda: desk.wm_state(settings) == 1 and desk.active() == settings.id, "the settings dialog is shown")

    desk.menu(main, "d", 0)  # 全体から抽出
    dialog = wait_for(lambda: desk.find(process, "自動変換中") or desk.find(process, "抽出中"), "the progress dialog")
    wait_for(lambda: desk.wm_state(dialog) == 1, "the progress dialog is shown")
    check(on_top_of_program(desk, process, dialog), "progress dialog above 環境設定 and the control panel")
    dx, dy = (a - b for a, b in zip(centre(desk.frame(dialog)), centre(desk.frame(main))))
    check(abs(dx) <= 3 and abs(dy) <= 3, f"progress dialog centred on the main window (off by {dx}, {dy})")
    flags, functions = (list(desk.prop(dialog, "_MOTIF_WM_HINTS") or [0, 0]) + [0, 0])[:2]
    check(flags & 1 and not functions & (1 | 8 | 16 | 32),
          f"progress dialog asks for no minimise, maximise or close (Motif functions {functions:#x})")
    actions = {desk.d.get_atom_name(a) for a in desk.prop(dialog, "_NET_WM_ALLOWED_ACTIONS") or []}
    check(not actions & {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_RESIZE"},
          "progress dialog cannot be maximised or resized")
    desk.shot("progress_above_settings")

    # Minimised by the window manager, the dialog (and the main window it takes along) comes back.
    desk.watch(dialog)
    desk.iconify(dialog)
    changes = 0

    def shown_again():
        nonlocal changes
        changes += desk.count_changes(dialog, "WM_STATE")
        return changes >= 2 and desk.wm_state(dialog) == 1

    try:
        wait_for(shown_again, "the minimised dialog comes back")
    except Failure:
        pass
    check(changes >= 2 and desk.wm_state(dialog) == 1 and desk.wm_state(main) == 1,
          f"minimised progress dialog shown again at once ({changes} state changes, "
          f"dialog {desk.wm_state(dialog)}, main window {desk.wm_state(main)})")

    # A click on 環境設定 raises it; the modal dialog goes back above it at once.
    sx, sy, sw, sh = desk.frame(settings)
    spot = (sx + sw - 10, sy + sh - 10)
    if not overlaps((*spot, 1, 1), desk.frame(dialog)):
        desk.watch(desk.root)
        desk.click(*spot)
        restacks = 0

        def restacked():
            nonlocal restacks
            restacks += desk.count_changes(desk.root, "_NET_CLIENT_LIST_STACKING")
            return restacks

        wait_for(restacked, "the click raises a window")
        try:
            wait_for(lambda: on_top_of_program(desk, process, dialog), "the dialog back on top", timeout=3)
        except Failure:
            pass
        check(on_top_of_program(desk, process, dialog), "progress dialog above 環境設定 after a click on it")
        desk.root.change_attributes(event_mask=0)

    desk.activate(dialog)
    desk.keys("space")  # 中止
    wait_for(lambda: not desk.find(process, desk.title(dialog)), "the stopped job's dialog closes")

    # A question box opened with both panels shown.
    desk.menu(main, "f", 0)  # 新規作成 asks first in the work-file state
    question = desk.wait_window(process, "ファイルの保存")
    wait_for(lambda: desk.wm_state(question) == 1 and desk.active() == question.id, "the question is shown")
    check(on_top_of_program(desk, process, question), "message box above 環境設定 and the control panel")
    desk.shot("question_above_panels")
    desk.keys("Escape")
    wait_for(lambda: not desk.find(process, "ファイルの保存"), "the question closes")
    return process


def second_start(s, other):
    """A second start on a home that a window holds hands its file over; commands still run."""
    desk = s.desk
    home = s.home("held")
    first = s.start(home)
    main = s.main_window(first)
    desk.activate(s.main_window(other))  # another program's window now covers it
    page = os.path.join(s.work, "page one.html")
    write(page, b"<a href='http://example.jp/'>x</a>\r\n")
    second = subprocess.Popen([LANZO, "--home", home, "page one.html"], cwd=s.work, env=s.env())
    s.processes.append(second)
    try:
        second.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure("the second start on a held home does not end")
    check(second.returncode == 0, f"second start on a held home ends with 0 ({second.returncode})")
    title = "Lanzo " + page
    wait_for(lambda: desk.title(main) == title, "the first window opens the handed file")
    windows = [w for w in desk.stacking() if desk.title(w).startswith("Lanzo ")]
    check(len(windows) == 2, f"no second window on the held home ({len(windows)} main windows in all)")
    order = [w.id for w in desk.stacking()]
    wait_for(lambda: desk.active() == main.id, "the first window comes to the front")
    check(order.index(main.id) > order.index(s.main_window(other).id), "the first window is raised")

    command = subprocess.run([LANZO, "--home", home, "sort"], input=b"b\na\n", capture_output=True, env=s.env(),
                             timeout=TIMEOUT)
    check(command.returncode == 0 and command.stdout.replace(b"\r", b"") == b"a\nb\n",
          f"a command on the held home runs as always ({command.returncode}, {command.stdout!r})")

    # A killed window leaves its lock behind; the next start takes the home over. With a Wayland
    # display announced next to the X one, the window still comes up on X.
    first.kill()
    first.wait(timeout=10)
    again = s.start(home, WAYLAND_DISPLAY="wayland-lanzo-test-none")
    s.main_window(again)
    check(again.poll() is None, "start after a killed window: a window of its own (the stale lock is taken over)")


def main():
    work = tempfile.mkdtemp(prefix="lanzo-wm-")
    desk = None
    s = None
    try:
        desk = Desktop(work)
        s = Session(desk, work)
        for scenario in (first_places, stored_places):
            try:
                scenario(s)
            except Failure as failure:
                check(False, f"{scenario.__name__}: {failure}")
        try:
            jobs = stacking_and_jobs(s)
            second_start(s, jobs)
        except Failure as failure:
            check(False, f"stacking, jobs and second start: {failure}")
    finally:
        if s:
            s.close()
        if desk:
            desk.close()
        shutil.rmtree(work, ignore_errors=True)
    print("window-manager layer: " + ("all passed" if not failures else f"{len(failures)} failed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
