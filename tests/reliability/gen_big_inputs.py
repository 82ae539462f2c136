#!/usr/bin/env python3
"""Writes the deterministic inputs of big_inputs.sh into a folder.

Usage: gen_big_inputs.py DIR TEXT_MB LIST_ITEMS

DIR/text.html     about TEXT_MB MiB of Shift_JIS HTML with CR LF line ends, a block of lines
                  repeated; every character survives SJIS -> EUC-JP -> SJIS unchanged
DIR/list.txt      LIST_ITEMS URLs, LF line ends, with exact repeats and case variants
DIR/ranges.txt    LIST_ITEMS / 100 items, each with a range of 100 numbers
DIR/home/table/big.tbl            100,000 before/after pairs, a few of which occur in the text
DIR/home-set2/config/set2.ini     about 10 MB of conditions, three of them checked
DIR/expected.sh   shell assignments of the counts the commands must produce
"""
import os
import random
import sys

out_dir, text_mb, list_items = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(20240601)

KANJI = "日本語漢字情報検索画像写真動画音楽地図天気速報一覧新着記事会社概要連絡先"
KANA = "あいうえおかきくけこさしすせそたちつてとなにぬねのアイウエオカキクケコｱｲｳｴｵ"


def japanese(n):
    return "".join(rng.choice(KANJI + KANA) for _ in range(n)).encode("shift_jis")


def word(n):
    return "".join(rng.choice("abcdefghijklmnopqrstuvwxyz0123456789") for _ in range(n))


# One block of lines; the text is that block repeated. Each kind of line has a known number of
# tokens starting with http:// and of href/src links, so the expected counts are exact.
lines = []
urls_per_block = 0
links_per_block = 0
block_size = 0
while block_size < (1 << 20):
    kind = rng.randrange(4)
    page = f"http://www.example.jp/{word(6)}/{word(8)}.html".encode()
    image = f"http://img.example.jp/{word(4)}/{word(10)}.jpg".encode()
    if kind == 0:
        line = b'<a href="' + page + b'">' + japanese(8) + b"</a> " + japanese(12)
        urls_per_block += 1
        links_per_block += 1
    elif kind == 1:
        line = b"<img src='" + image + b"' alt=\"" + japanese(4) + b'"> ' + image + b" " + japanese(6)
        urls_per_block += 2
        links_per_block += 1
    elif kind == 2:
        line = b"<p>" + japanese(30) + b"</p>"
    else:
        line = b"\t" + japanese(10) + b" see " + page + b" or " + image + b"  "
        urls_per_block += 2
    lines.append(line + b"\r\n")
    block_size += len(lines[-1])
block = b"".join(lines)
reps = max(1, (text_mb << 20) // len(block))
with open(os.path.join(out_dir, "text.html"), "wb") as f:
    for _ in range(reps):
        f.write(block)

# The list: URLs drawn from a pool a little smaller than the list, so some repeat exactly;
# every tenth pool entry also has an upper-case variant.
pool_size = max(1, list_items * 9 // 10)
pool = [f"http://host{rng.randrange(1000)}.example.jp/{word(8)}/{word(12)}.html" for _ in range(pool_size)]
items = []
for i in range(list_items):
    url = pool[rng.randrange(pool_size)]
    if i % 10 == 0:
        url = url.upper()
    items.append(url)
with open(os.path.join(out_dir, "list.txt"), "w", newline="") as f:
    f.write("\n".join(items) + "\n")

range_items = max(1, list_items // 100)
with open(os.path.join(out_dir, "ranges.txt"), "w", newline="") as f:
    for i in range(range_items):
        f.write(f"http://img.example.jp/{i}/pic[000-099].jpg\n")

# The table: 100,000 pairs. Five of them rewrite strings the text holds.
os.makedirs(os.path.join(out_dir, "home", "table"))
pairs = [(f"zq{word(10)}", f"ZQ{word(10)}") for _ in range(100000 - 5)]
pairs += [("www.example.jp", "www.example.com"), ("img.example.jp", "images.example.jp"),
          ("<p>", "<P>"), ("</a>", "</A>"), (".jpg", ".jpeg")]
rng.shuffle(pairs)
with open(os.path.join(out_dir, "home", "table", "big.tbl"), "wb") as f:
    for before, after in pairs:
        f.write(before.encode() + b"\t" + after.encode() + b"\r\n")

# set2.ini of about 10 MB: a long prefix list of which only the first three items are checked.
os.makedirs(os.path.join(out_dir, "home-set2", "config"))
prefixes = ["http://www.example.jp/", "http://img.example.jp/", "ttp://"]
total = 0
while total < 10_000_000:
    prefixes.append(f"http://{word(20)}.example.org/{word(40)}/")
    total += len(prefixes[-1]) + 1
checks = "111" + "0" * (len(prefixes) - 3)
with open(os.path.join(out_dir, "home-set2", "config", "set2.ini"), "wb") as f:
    f.write(("Prefix\t" + checks + "\t" + "\t".join(prefixes) + "\r\n").encode())
    f.write(b"Middle\t0\tzzz://\r\nSuffix\t1\t.jpg\r\nAuto\t0\r\n")

with open(os.path.join(out_dir, "expected.sh"), "w") as f:
    f.write(f"want_extract={reps * urls_per_block}\n")
    f.write(f"want_links={reps * links_per_block}\n")
    f.write(f"want_items={list_items}\n")
    f.write(f"want_unique={len(set(items))}\n")
    f.write(f"want_expanded={range_items * 100}\n")
