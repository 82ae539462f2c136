"""The program's windows as a desktop sees them: Xvfb with openbox, the real program, and the
stacking order, frames, hints and places that the window manager publishes. Every wait polls
with a time limit; nothing sleeps for a fixed time.
    wm_layer.py LANZO [SCREENSHOT_FOLDER]"""
import os
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
SHOTS = sys.argv[2] if len(sys.argv) > 2 else ""
WIDTH, HEIGHT, TIMEOUT = 1280, 1024, 20
failures = []


class Failure(Exception):
    pass


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(probe, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise Failure("timed out: " + what)
        time.sleep(0.02)
    return value


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


class Desk:
    """An X display with openbox, and the program's runs on it."""

    def __init__(self, work):
        self.work, self.processes = work, []
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{WIDTH}x{HEIGHT}x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.name = ":" + numbers.readline().strip()
        self.d = display.Display(self.name)
        self.root = self.d.screen().root
        self.runtime = self.folder("runtime")
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   env=dict(os.environ, DISPLAY=self.name, HOME=self.folder("wm")))
        wait_for(lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"), "openbox starts")

    def close(self):
        for process in self.processes + [self.wm, self.xvfb]:
            process.kill()
            process.wait(timeout=10)

    def folder(self, name):
        path = os.path.join(self.work, name)
        os.makedirs(path, mode=0o700)
        return path

    # ---- the program -------------------------------------------------------------------------
    def home(self, name, lanzo_ini=None, files=()):
        home = self.folder(name)
        if lanzo_ini is not None:
            files = [("config/lanzo.ini", lanzo_ini.replace("\n", "\r\n").encode()), *files]
        for relative, data in files:
            os.makedirs(os.path.dirname(os.path.join(home, relative)), exist_ok=True)
            with open(os.path.join(home, relative), "wb") as f:
                f.write(data)
        return home

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        # TMPDIR: where the hand-over sockets of the windows this test kills are left.
        return dict(env, DISPLAY=self.name, XDG_RUNTIME_DIR=self.runtime, TMPDIR=self.runtime, **extra)

    def start(self, home, *files, **extra):
        process = subprocess.Popen([LANZO, "--home", home, *files], env=self.env(**extra), cwd=self.work,
                                   stdout=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    # ---- what the window manager publishes ------------------------------------------------------
    def prop(self, window, name):
        try:
            value = window.get_full_property(self.d.intern_atom(name), X.AnyPropertyType)
        except BadWindow:
            return None
        return value.value if value else None

    def first(self, window, name):
        value = self.prop(window, name)
        return value[0] if value is not None and len(value) else None

    def stacking(self):
        """The managed windows, bottom first."""
        return [self.d.create_resource_object("window", w)
                for w in self.prop(self.root, "_NET_CLIENT_LIST_STACKING") or []]

    def title(self, window):
        name = self.prop(window, "_NET_WM_NAME")
        return name.decode("utf-8", "replace") if isinstance(name, bytes) else ""

    def windows_of(self, process):
        return [w for w in self.stacking() if self.first(w, "_NET_WM_PID") == process.pid]

    def find(self, process, title):
        return next((w for w in self.windows_of(process) if self.title(w).startswith(title)), None)

    def shown(self, process, title):
        """The window once mapped and given the focus (keys sent earlier could go elsewhere)."""
        return wait_for(lambda: (w := self.find(process, title)) and self.first(w, "WM_STATE") == 1
                        and self.active() == w.id and w, f"window {title!r} shown")

    def on_top(self, process, window):
        return self.windows_of(process)[-1].id == window.id

    def frame(self, window):
        """x, y, width, height of the window with its frame."""
        geometry = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        left, right, top, bottom = self.prop(window, "_NET_FRAME_EXTENTS") or (0, 0, 0, 0)
        return (-origin.x - left, -origin.y - top, geometry.width + left + right, geometry.height + top + bottom)

    def inner(self, window):
        geometry = window.get_geometry()
        return geometry.width, geometry.height

    def active(self):
        return self.first(self.root, "_NET_ACTIVE_WINDOW")

    def changes(self, window, name):
        """Changes of the property since the last call; the first call starts watching."""
        window.change_attributes(event_mask=X.PropertyChangeMask)
        self.d.sync()
        count = 0
        while self.d.pending_events():
            ev = self.d.next_event()
            count += ev.type == X.PropertyNotify and ev.window.id == window.id and ev.atom == self.d.intern_atom(name)
        return count

    # ---- acting as the user ---------------------------------------------------------------------
    def send(self, window, message, *data):
        self.root.send_event(event.ClientMessage(window=window, client_type=self.d.intern_atom(message),
                                                 data=(32, [*data, 0, 0, 0, 0, 0][:5])),
                             event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.sync()

    def activate(self, window):
        self.send(window, "_NET_ACTIVE_WINDOW", 2, X.CurrentTime)
        wait_for(lambda: self.active() == window.id, f"{self.title(window)!r} gets the focus")

    def keys(self, *combos):
        for combo in combos:
            codes = [self.d.keysym_to_keycode(XK.string_to_keysym(name)) for name in combo.split("+")]
            for kind, order in ((X.KeyPress, codes), (X.KeyRelease, reversed(codes))):
                for code in order:
                    xtest.fake_input(self.d, kind, code)
            self.d.sync()

    def click(self, x, y):
        for kind, detail in ((X.MotionNotify, 0), (X.ButtonPress, 1), (X.ButtonRelease, 1)):
            xtest.fake_input(self.d, kind, detail, x=x, y=y)
        self.d.sync()

    def popups(self):
        def mapped_override(child):
            try:
                attributes = child.get_attributes()
            except BadWindow:
                return False
            return attributes.override_redirect and attributes.map_state == X.IsViewable
        return {c.id for c in self.root.query_tree().children if mapped_override(c)}

    def menu(self, main, access_key, downs):
        """Opens a menu of the main window with Alt+key and picks the item `downs` below the first."""
        self.activate(main)
        before = self.popups()
        self.keys("Alt_L+" + access_key)
        wait_for(lambda: self.popups() - before, f"the menu Alt+{access_key} opens")
        self.keys(*["Down"] * downs, "Return")

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            subprocess.run(["import", "-display", self.name, "-window", "root", f"{SHOTS}/{name}.png"], check=False)


def first_places(desk):
    """No lanzo.ini: the control panel opens beside the main window, not over it."""
    for name, ini in (("right", None), ("below", "[WINDOW]\nWIDTH=800\n")):
        process = desk.start(desk.home("first-" + name, ini))
        main = desk.shown(process, "Lanzo ")
        main_frame = desk.frame(main)
        desk.menu(main, "v", 1)
        panel_frame = desk.frame(desk.shown(process, "コントロールパネル"))
        x, y, w, h = main_frame
        want = (x + w, y) if name == "right" else (x, y + h)
        check(main_frame[:2] == (0, 0) and panel_frame[:2] == want and not overlaps(panel_frame, main_frame),
              f"first start: control panel placed {name} (main window {main_frame}, panel {panel_frame})")
        desk.shot("panel_first_place_" + name)
        process.kill()


def stored_places(desk):
    """Stored places that fit are kept; one off every screen or too large is brought back."""
    process = desk.start(desk.home("stored-fit", "[WINDOW]\nWIDTH=600\nHEIGHT=400\nTOP=50\nLEFT=100\nCTRL=1\n"
                                                 "[WINDOW2]\nTOP=3000\nLEFT=5000\n"))
    main = desk.shown(process, "Lanzo ")
    check(desk.frame(main)[:2] == (100, 50) and desk.inner(main) == (600, 400),
          f"stored place that fits: kept ({desk.frame(main)}, {desk.inner(main)})")
    x, y, w, h = desk.frame(wait_for(lambda: desk.find(process, "コントロールパネル"), "the control panel"))
    # Its frame is unknown until shown, so it may reach past the edge by the frame's own size.
    check(0 <= x and 0 <= y and x + w <= WIDTH + 8 and y + h <= HEIGHT + 40,
          f"control panel stored off every screen: brought back ({x}, {y}, {w}, {h})")
    process.kill()

    process = desk.start(desk.home("stored-huge", "[WINDOW]\nWIDTH=2147483647\nHEIGHT=99999\nTOP=-3000\nLEFT=-5000\n"))
    main = desk.shown(process, "Lanzo ")
    with open(f"/proc/{process.pid}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    (x, y, _, _), (w, h) = desk.frame(main), desk.inner(main)
    check(x >= 0 and y >= 0 and w <= WIDTH and h <= HEIGHT and rss < 400_000,
          f"main window larger than the screen, stored off it: fitted ({x}, {y}, {w}x{h}, {rss} kB)")
    process.kill()


def stacking_and_jobs(desk):
    """Modal windows above the always-on-top panels; the progress dialog never stays minimised."""
    process = desk.start(desk.home("jobs", "[WINDOW]\nCTRL=1\n[WINDOW2]\nTOP=600\nLEFT=0\n", [
        # Every pair rewrites the whole text, so the job runs for minutes unless stopped.
        ("table/slow.tbl", b"a\tb\r\nb\ta\r\n" * 50000),
        ("config/edit.txt", b"http://example.jp/a.html abc def\r\n" * 30000),
        ("config/set2.ini", b"Convert\tslow\r\n")]))
    main = desk.shown(process, "Lanzo ")
    desk.menu(main, "v", 2)
    settings = desk.shown(process, "環境設定")
    desk.menu(main, "d", 0)  # 全体から抽出
    dialog = desk.shown(process, "自動変換中")
    check(desk.on_top(process, dialog), "progress dialog above 環境設定 and the control panel")
    (dx, dy, dw, dh), (mx, my, mw, mh) = desk.frame(dialog), desk.frame(main)
    off = (dx + dw / 2 - mx - mw / 2, dy + dh / 2 - my - mh / 2)
    check(max(map(abs, off)) <= 3, f"progress dialog centred on the main window (off by {off})")
    flags, functions = [*(desk.prop(dialog, "_MOTIF_WM_HINTS") or []), 0, 0][:2]
    actions = {desk.d.get_atom_name(a) for a in desk.prop(dialog, "_NET_WM_ALLOWED_ACTIONS") or []}
    check(flags & 1 and not functions & (1 | 8 | 16 | 32) and "_NET_WM_ACTION_MAXIMIZE_HORZ" not in actions,
          f"progress dialog asks for no minimise, maximise or close (Motif functions {functions:#x})")
    desk.shot("progress_above_settings")

    # Minimised by the window manager, the dialog (and the main window it takes along) comes back.
    desk.changes(dialog, "WM_STATE")
    desk.send(dialog, "WM_CHANGE_STATE", 3)
    changes = 0

    def shown_again():
        nonlocal changes
        changes += desk.changes(dialog, "WM_STATE")
        return changes >= 2 and desk.first(dialog, "WM_STATE") == desk.first(main, "WM_STATE") == 1

    try:
        wait_for(shown_again, "")
    except Failure:
        pass
    check(shown_again(), f"minimised progress dialog shown again at once ({changes} changes of its state)")

    # A click on 環境設定 raises it; the modal dialog goes back above it at once.
    x, y, w, h = desk.frame(settings)
    if not overlaps((x + w - 10, y + h - 10, 1, 1), desk.frame(dialog)):
        desk.changes(desk.root, "_NET_CLIENT_LIST_STACKING")
        desk.click(x + w - 10, y + h - 10)
        wait_for(lambda: desk.changes(desk.root, "_NET_CLIENT_LIST_STACKING"), "the click raises a window")
        try:
            wait_for(lambda: desk.on_top(process, dialog), "", timeout=3)
        except Failure:
            pass
        check(desk.on_top(process, dialog), "progress dialog above 環境設定 after a click on it")
        desk.root.change_attributes(event_mask=0)

    title = desk.title(dialog)
    desk.activate(dialog)
    desk.keys("space")  # 中止
    wait_for(lambda: not desk.find(process, title), "the stopped job's dialog closes")
    desk.menu(main, "f", 0)  # 新規作成 asks first in the work-file state
    question = desk.shown(process, "ファイルの保存")
    check(desk.on_top(process, question), "message box above 環境設定 and the control panel")
    desk.shot("question_above_panels")
    desk.keys("Escape")
    return process


def second_start(desk, other):
    """A second start on a home that a window holds hands its file over; commands still run."""
    home = desk.home("held", files=[("../page one.html", b"<a href='http://example.jp/'>x</a>\r\n")])
    first = desk.start(home)
    main = desk.shown(first, "Lanzo ")
    desk.activate(desk.find(other, "Lanzo "))  # another program's window now covers it
    second = desk.start(home, "page one.html")
    try:
        second.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure("the second start on a held home does not end")
    wait_for(lambda: desk.title(main) == f"Lanzo {desk.work}/page one.html", "the first window opens the file")
    wait_for(lambda: desk.active() == main.id, "the first window comes to the front")
    order = [w.id for w in desk.stacking()]
    mains = [w for w in desk.stacking() if desk.title(w).startswith("Lanzo ")]
    check(second.returncode == 0 and len(mains) == 2 and order.index(main.id) > order.index(mains[0].id),
          f"second start on a held home: handed over and ended ({second.returncode}), window raised")

    command = subprocess.run([LANZO, "--home", home, "sort"], input=b"b\na\n", capture_output=True, env=desk.env())
    check(command.stdout.replace(b"\r", b"") == b"a\nb\n", f"a command on the held home runs ({command.stdout!r})")

    # A killed window leaves its lock behind; the next start takes the home over. With a Wayland
    # display announced next to the X one, the window still comes up on X.
    first.kill()
    first.wait(timeout=10)
    again = desk.start(home, WAYLAND_DISPLAY="wayland-lanzo-test-none")
    check(bool(desk.shown(again, "Lanzo ")), "start after a killed window: its stale lock is taken over")


def main():
    work = tempfile.mkdtemp(prefix="lanzo-wm-")
    desk = Desk(work)
    try:
        for scenario in (first_places, stored_places, lambda d: second_start(d, stacking_and_jobs(d))):
            try:
                scenario(desk)
            except Failure as failure:
                check(False, str(failure))
    finally:
        desk.close()
        shutil.rmtree(work, ignore_errors=True)
    print("window-manager layer: " + (f"{len(failures)} failed" if failures else "all passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
