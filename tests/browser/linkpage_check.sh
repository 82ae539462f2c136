#!/usr/bin/env bash
# The link page in a real browser: a list of awkward items ("&", double quotes, "<", an escape
# that must stay literal, Japanese with trail bytes 0x5C, the 0xFA-0xFC rows, half-width kana, an
# empty item) is written with "lanzo linkpage", opened by headless Chromium, and every link's
# target and text in the browser's DOM must equal its item, decoded as the page's Shift_JIS.
#   tests/browser/linkpage_check.sh [path to lanzo]     (default: build/lanzo)
# Prints "N passed, M failed"; exits 0 when all pass, 1 when one fails, 77 (skipped) when
# Chromium or python3 is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
exe="${1:-${LANZO_EXE:-$root/build/lanzo}}"
browser=""
for candidate in chromium chromium-browser; do
    if command -v "$candidate" >/dev/null; then browser="$(command -v "$candidate")"; break; fi
done
if [ -z "$browser" ] || ! command -v python3 >/dev/null; then
    echo "linkpage_check: chromium or python3 is missing: skipped"
    exit 77
fi
[ -x "$exe" ] || { echo "linkpage_check: $exe is not a program" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/profile"

python3 - "$work/items.txt" <<'EOF'
import sys
items = [
    "http://example.jp/search?q=1&lang=ja",
    'http://example.jp/"quoted"/',
    "<b>not a tag</b>",
    "a&amp;b stays &amp; as typed",
    "http://example.jp/日記/写真.html",
    "ソ表示 能力 十",                  # trail byte 0x5C (backslash) in every character
    "髙橋さん ①② ㈱ ～∥",              # the 0xFA-0xFC rows and NEC specials
    "ｶﾀｶﾅ ﾃｽﾄ",
    "",
    "> 'single' & \"double\" <",
]
def sjis(text):
    return text.encode("cp932").replace("髙".encode("cp932"), b"\xfb\xfc")
open(sys.argv[1], "wb").write(b"".join(sjis(i) + b"\r\n" for i in items))
EOF

"$exe" --home "$work/home" linkpage -o "$work/link.html" "$work/items.txt"

# The browser reads the page from the file and prints the document it built.
if ! timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --dump-dom "file://$work/link.html" >"$work/dom.html" 2>"$work/browser.log"; then
    echo "linkpage_check: the browser failed:" >&2
    tail -20 "$work/browser.log" >&2
    echo "0 passed, 1 failed"
    exit 1
fi

python3 - "$work/items.txt" "$work/dom.html" <<'EOF'
import sys
from html.parser import HTMLParser

raw = open(sys.argv[1], "rb").read()
items = [line.decode("cp932") for line in raw.split(b"\r\n")[:-1]]

class Links(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links, self.title, self.where = [], "", []
    def handle_starttag(self, tag, attrs):
        self.where.append(tag)
        if tag == "a":
            self.links.append({"attrs": dict(attrs), "text": "", "in_li": "li" in self.where})
    def handle_endtag(self, tag):
        while self.where:
            if self.where.pop() == tag:
                break
    def handle_data(self, data):
        if self.where and self.where[-1] == "a" and self.links:
            self.links[-1]["text"] += data
        elif self.where and self.where[-1] == "title":
            self.title += data

parser = Links()
parser.feed(open(sys.argv[2], encoding="utf-8").read())
passed, failed = 0, 0
def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAIL:", what)

check(parser.title == "リンク集", f"title {parser.title!r}")
check(len(parser.links) == len(items), f"{len(parser.links)} links for {len(items)} items")
for n, (item, link) in enumerate(zip(items, parser.links), 1):
    attrs = link["attrs"]
    check(attrs.get("href") == item and link["text"] == item and attrs.get("target") == "_blank"
          and link["in_li"],
          f"item {n} {item!r}: href {attrs.get('href')!r}, text {link['text']!r}, target {attrs.get('target')!r}")
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
EOF
