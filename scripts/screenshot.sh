#!/usr/bin/env bash
# Screenshots of the main window under Xvfb: a temporary home with Japanese text in both panes
# and two conversion tables, then every menu and context menu opened by simulated clicks.
#   scripts/screenshot.sh [output folder]      (default: build/screenshots)
# LANZO_EXE names the program (default: build/lanzo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${LANZO_EXE:-$root/build/lanzo}"
out="${1:-$root/build/screenshots}"
[ -x "$exe" ] || { echo "screenshot.sh: build the program first ($exe)" >&2; exit 1; }
for tool in xvfb-run import python3; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done
mkdir -p "$out"
out="$(cd "$out" && pwd)"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/table"

python3 - "$home" <<'EOF'
import sys
home = sys.argv[1]
def sjis(text):
    # Windows writes these characters with the codes of the 0xFA-0xFC rows.
    return text.encode('cp932').replace('髙'.encode('cp932'), b'\xfb\xfc')
edit = ("<html><head><title>リンク集のテスト</title></head>\r\n<body>\r\n"
        "<p>日本語のページです。画像：<img src='http://example.jp/img/photo01.jpg'></p>\r\n"
        "<a href=\"http://example.jp/日記/2024.html\">日記</a>\r\n"
        "全角（ソース）と①②③、髙橋さん、～∥―ー\r\n</body></html>\r\n")
items = ["http://example.jp/img/photo01.jpg", "http://example.jp/日記/2024.html", "",
         "ＵＲＬリストの項目", "http://example.jp/img[01-10].jpg"]
open(f"{home}/config/edit.txt", "wb").write(sjis(edit))
open(f"{home}/config/list.txt", "wb").write(b"".join(sjis(i) + b"\r\n" for i in items))
open(f"{home}/table/hxxp補正.tbl", "wb").write(sjis("hxxp\thttp\r\n"))
open(f"{home}/table/A&B.tbl", "wb").write(b"a\tb\r\n")
open(f"{home}/config/lanzo.ini", "wb").write(b"[WINDOW]\r\nWIDTH=760\r\nHEIGHT=520\r\nTOP=0\r\nLEFT=0\r\n")
EOF

export LANZO_SHOT_EXE="$exe" LANZO_SHOT_HOME="$home" LANZO_SHOT_OUT="$out"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$home}"
xvfb-run -a -s "-screen 0 1024x768x24" python3 - <<'EOF'
import ctypes, os, subprocess, time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)
out = os.environ["LANZO_SHOT_OUT"]

def move(x, y, pause=0.4):
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
    x11.XFlush(display)
    time.sleep(pause)

def click(x, y, button=1, pause=0.6):
    move(x, y, 0.2)
    xtst.XTestFakeButtonEvent(display, button, 1, 0)
    xtst.XTestFakeButtonEvent(display, button, 0, 0)
    x11.XFlush(display)
    time.sleep(pause)

def escape(times=1):
    code = x11.XKeysymToKeycode(display, 0xff1b)
    for _ in range(times):
        xtst.XTestFakeKeyEvent(display, code, 1, 0)
        xtst.XTestFakeKeyEvent(display, code, 0, 0)
        x11.XFlush(display)
        time.sleep(0.3)

def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(out, name + ".png")], check=True)

program = subprocess.Popen([os.environ["LANZO_SHOT_EXE"], "--home", os.environ["LANZO_SHOT_HOME"]])
try:
    time.sleep(3)
    shot("main")
    # The menu bar, item by item (positions of the 12-pixel font).
    menus = [("file", 35), ("edit_source", 120), ("edit_list", 228), ("extract", 316), ("tools", 375), ("view", 434)]
    for name, x in menus:
        click(x, 8)
        shot("menu_" + name)
        escape()
    # "全体を変換" with its URL and character-code submenus.
    click(120, 8)
    move(150, 183)
    move(330, 183)
    shot("menu_edit_source_convert_whole")
    move(330, 205)
    shot("menu_edit_source_convert_codes")
    escape(3)
    # "ツール" > "ソース"
    click(375, 8)
    move(420, 51)
    shot("menu_tools_source")
    escape(2)
    # The two context menus.
    click(200, 300, button=3)
    shot("popup_editor")
    escape()
    click(650, 300, button=3)
    shot("popup_list")
    escape()
finally:
    program.terminate()
    program.wait(timeout=10)
EOF
echo "screenshots in $out"
