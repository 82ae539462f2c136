#!/usr/bin/env bash
# Times the main window on a big page, for the figures of the performance notes (a manual run;
# the tests never assert timings). Writes a Shift_JIS page of about MB megabytes holding about
# URLS addresses, times the command line's extraction on it, then runs the window offscreen:
# opening the page, extraction into the list, list commands, stopping the three jobs, typing,
# and typing into one huge line wrapped and unwrapped.
#   scripts/measure_window.sh [MB [URLS]]          (default: 60 MB, 500000 URLs)
# LANZO_BUILD_DIR names the build folder (default: build); it needs the program and the window
# timer bench/measure_window (built with the tests). Times depend on the load of the machine: run
# it on a quiet one.
# A page of 4 MB or more shows its start at once and is laid into the editor in the background:
# "window painted (usable)" is the first, "whole text in the editor" the second.
# LANZO_MEASURE_OPEN_ONLY=1 ends the run after the open (to profile it, e.g. under perf record).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LANZO_BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
mb="${1:-60}"
urls="${2:-500000}"
exe="$build/lanzo"
probe="$build/bench/measure_window"
for f in "$exe" "$probe"; do
    [ -x "$f" ] || { echo "measure_window.sh: build first ($f is missing)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/config" "$work/home/table" "$work/runtime"
chmod 700 "$work/runtime"

python3 - "$work" "$mb" "$urls" <<'EOF'
import random, sys
work, mb, urls = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(7)
words = [w.encode("cp932") for w in (
    "日本語 テキスト 写真 画像 リンク集 更新情報 お知らせ 掲示板 東京 大阪 猫 犬 ファイル 一覧 "
    "こちら です ます 「見出し」 ①② 髙橋 ｶﾀｶﾅ ＵＲＬ 　").split()]
hosts = [b"www.example.jp", b"img.example.com", b"files.example.net"]
total = mb * 1000 * 1000
# Nine lines in ten carry one address; every line is padded to the average length.
length = total * 9 // (urls * 10)
lines, size, count = [], 0, 0
while size < total:
    if count < urls and rnd.randrange(10) < 9:
        line = b'<a href="http://%s/p/%d%s">%s</a> ' % (rnd.choice(hosts), rnd.randrange(10**6),
                                                       rnd.choice((b".jpg", b".png", b".zip")), rnd.choice(words))
        count += 1
    else:
        line = b"<p>"
    while len(line) < length - 6:
        line += rnd.choice(words)
    line += b"</p>\r\n" if line.startswith(b"<p>") else b"\r\n"
    lines.append(line)
    size += len(line)
open(f"{work}/page.html", "wb").write(b"".join(lines))
open(f"{work}/home/config/set2.ini", "wb").write(
    b"Prefix\t1\thttp://\r\nMiddle\t\r\nSuffix\t111\t.jpg\t.png\t.zip\r\nAuto\t0\r\nConvert\r\n")
pairs = ["日本語\tにほんご", "写真\tしゃしん", "画像\tがぞう", "東京\tとうきょう", "猫\tねこ", "犬\tいぬ",
         "①②\t12", "ＵＲＬ\tURL", "　\t ", "example\texample", "http\thttp", ".jpg\t.jpg"]
open(f"{work}/home/table/pairs.tbl", "wb").write("".join(p + "\r\n" for p in pairs).encode("cp932"))
print(f"page: {size / 1e6:.1f} MB, {len(lines)} lines, {count} addresses")
EOF

ms() { date +%s%N | cut -c1-13; }
start=$(ms)
found=$("$exe" --home "$work/home" extract "$work/page.html" | wc -l)
printf '%-58s %7d ms (%d URLs)\n' "command line: lanzo extract" $(($(ms) - start)) "$found"

XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$probe" "$work/page.html" "$work/home"
