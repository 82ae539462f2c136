#!/usr/bin/env bash
# Screenshots of the windows under Xvfb: a temporary home with Japanese text in both panes, two
# conversion tables and filled-in settings; then every menu and context menu, the "ファイルの保存"
# question, the open dialog, each tab of the control panel and of the settings dialog, opened by
# simulated clicks as a user would.
#   scripts/screenshot.sh [output folder]      (default: build/screenshots)
# LANZO_EXE names the program (default: build/lanzo). LANZO_SHOT_SCALE=2 takes them at twice the
# size (QT_SCALE_FACTOR=2), to check that icons and text stay sharp on high-density screens.
# window.png is the main window alone, as docs/screenshot.png shows it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${LANZO_EXE:-$root/build/lanzo}"
out="${1:-$root/build/screenshots}"
scale="${LANZO_SHOT_SCALE:-1}"
[ -x "$exe" ] || { echo "screenshot.sh: build the program first ($exe)" >&2; exit 1; }
for tool in xvfb-run import python3; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done
case "$scale" in 1 | 2) ;; *) echo "screenshot.sh: LANZO_SHOT_SCALE is 1 or 2" >&2; exit 1 ;; esac
mkdir -p "$out"
out="$(cd "$out" && pwd)"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/table" "$home/runtime"
chmod 700 "$home/runtime"

python3 - "$home" <<'EOF'
import sys
home = sys.argv[1]
def sjis(text):
    # Windows writes these characters with the codes of the 0xFA-0xFC rows.
    return text.encode('cp932').replace('髙'.encode('cp932'), b'\xfb\xfc')
def records(*lines):
    return b"".join(sjis("\t".join(line)) + b"\r\n" for line in lines)
edit = """<html><head><title>リンク集のテスト</title></head>
<body>
<h1>旅行の写真とダウンロード</h1>
<p>日本語のページです。画像：<img src='http://example.jp/img/photo01.jpg'></p>
<ul>
<li><a href="http://example.jp/日記/2024.html">日記（２０２４年）</a>
<li><a href="http://example.jp/写真/旅行.html">旅行の写真</a>
<li><a href="http://example.jp/写真/京都/金閣寺.jpg">金閣寺</a>
<li><a href="http://example.jp/写真/京都/清水寺.jpg">清水寺</a>
<li><a href=http://example.jp/写真/奈良/東大寺.jpg>東大寺</a>
<li><a href='http://example.jp/写真/大阪/通天閣.png'>通天閣</a>
</ul>
<p>全角（ソース）と①②③、髙橋さん、～∥―ー</p>
<p>頭の h がないアドレス：ttp://example.jp/dl/資料.zip</p>
<p>連番の画像 http://example.jp/img/photo[01-12].jpg もあります。</p>
<table>
<tr><td>更新日</td><td>内容</td></tr>
<tr><td>４月１日</td><td>写真を追加しました。</td></tr>
<tr><td>３月３日</td><td>リンク集を作成しました。</td></tr>
</table>
<address>管理人：髙橋　<a href="mailto:info@example.jp">info@example.jp</a></address>
</body></html>
""".replace("\n", "\r\n")
items = ["http://example.jp/img/photo01.jpg", "http://example.jp/日記/2024.html",
         "http://example.jp/写真/旅行.html", "http://example.jp/写真/京都/金閣寺.jpg",
         "http://example.jp/写真/京都/清水寺.jpg", "http://example.jp/写真/奈良/東大寺.jpg",
         "http://example.jp/写真/大阪/通天閣.png", "http://example.jp/dl/資料.zip", "",
         "ＵＲＬリストの項目"] + [f"http://example.jp/img/photo{n:02d}.jpg" for n in range(1, 13)]
open(f"{home}/config/edit.txt", "wb").write(sjis(edit))
open(f"{home}/config/list.txt", "wb").write(b"".join(sjis(i) + b"\r\n" for i in items))
open(f"{home}/table/hxxp補正.tbl", "wb").write(sjis("hxxp\thttp\r\n"))
open(f"{home}/table/A&B.tbl", "wb").write(b"a\tb\r\n")
# The control panel below the main window, where neither covers the other.
open(f"{home}/config/lanzo.ini", "wb").write(
    b"[WINDOW]\r\nWIDTH=760\r\nHEIGHT=520\r\nTOP=0\r\nLEFT=0\r\nLIST=250\r\n[WINDOW2]\r\nTOP=560\r\nLEFT=0\r\n")
open(f"{home}/config/set.ini", "wb").write(records(
    ("BEFORE", "ｈｔｔｐ：／／", "ｈｔｔｐ：／／", "＆amp;"), ("AFTER", "http://", "http://", "&"),
    ("KEYWORD", "写真", "写真", "日記"), ("URL", "http://example.jp/日記/", "http://example.jp/日記/"),
    ("RDO1L", "0"), ("RDO2L", "0"), ("HOSEI", "1"), ("TOURL", "1"), ("TOCLIP", "1"), ("TOEXE", "0"),
    ("EXE", "/usr/bin/chromium")))
open(f"{home}/config/set2.ini", "wb").write(records(
    ("Prefix", "110", "http://", "ttp://", "https://"), ("Middle", "0", "/写真/"),
    ("Suffix", "1110", ".jpg", ".png", ".zip", ".html"), ("Auto", "1"), ("Convert", "hxxp補正")))
EOF

export LANZO_SHOT_EXE="$exe" LANZO_SHOT_HOME="$home" LANZO_SHOT_OUT="$out" LANZO_SHOT_SCALE="$scale"
export XDG_RUNTIME_DIR="$home/runtime" QT_SCALE_FACTOR="$scale"
xvfb-run -a -s "-screen 0 $((1024 * scale))x$((768 * scale))x24" python3 - <<'EOF'
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
scale = int(os.environ["LANZO_SHOT_SCALE"])
suffix = "" if scale == 1 else f"@{scale}x"

# Positions are in the pixels of a scale-1 screen (the 12-pixel font); they scale with the screen.
def move(x, y, pause=0.4):
    xtst.XTestFakeMotionEvent(display, -1, x * scale, y * scale, 0)
    x11.XFlush(display)
    time.sleep(pause)

def click(x, y, button=1, pause=0.6):
    move(x, y, 0.2)
    xtst.XTestFakeButtonEvent(display, button, 1, 0)
    xtst.XTestFakeButtonEvent(display, button, 0, 0)
    x11.XFlush(display)
    time.sleep(pause)

def key(keysym, times=1):
    code = x11.XKeysymToKeycode(display, keysym)
    for _ in range(times):
        xtst.XTestFakeKeyEvent(display, code, 1, 0)
        xtst.XTestFakeKeyEvent(display, code, 0, 0)
        x11.XFlush(display)
        time.sleep(0.3)

def escape(times=1):
    key(0xff1b, times)

def shot(name, area=None):
    # area: x, y, width, height of a part of the screen; the whole screen otherwise
    command = ["import", "-window", "root"]
    if area:
        x, y, w, h = (v * scale for v in area)
        command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
    subprocess.run(command + [os.path.join(out, name + suffix + ".png")], check=True)

program = subprocess.Popen([os.environ["LANZO_SHOT_EXE"], "--home", os.environ["LANZO_SHOT_HOME"]])
try:
    time.sleep(3)
    shot("main")
    shot("window", (0, 0, 760, 520))
    # The menu bar, item by item.
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

    # "新規作成" in the work-file state asks first: Qt's own buttons, in Japanese.
    click(35, 8)
    click(60, 29)
    shot("question_save")
    escape()
    # "ファイルを開く(&O)": Qt's own file dialog, in Japanese.
    click(35, 8)
    click(75, 70)
    time.sleep(1)
    shot("dialog_open")
    escape()

    # "表示" > "コントロールパネル", each tab.
    click(434, 8)
    click(480, 51, pause=1.5)
    tabs = [("replace", 30), ("search", 72), ("net", 130), ("click", 205)]
    for name, x in tabs:
        click(x, 572)
        shot("ctrl_" + name)
    # "表示" > "環境設定", each tab.
    click(434, 8)
    click(470, 72, pause=1.5)
    for name, x in [("conditions", 168), ("news", 241), ("version", 315)]:
        click(x, 126)
        shot("set_" + name)
finally:
    program.terminate()
    program.wait(timeout=10)
EOF
echo "screenshots in $out"
