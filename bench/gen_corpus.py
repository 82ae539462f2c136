#!/usr/bin/env python3
"""Writes the benchmark corpus into bench/out/ (or the folder given as the first argument).

page.html    about 64 MB of Shift_JIS HTML: Japanese text, many tags, quoted and unquoted
             attributes (href, src, SRC), free-standing addresses, CR LF lines
urls.txt     a million URL lines, some with [00-99]-style ranges, CR LF lines
table40.tbl  a conversion table of 40 pairs (Shift_JIS, CR LF)
set2.ini     settings with the prefixes http:// https:// ttp:// and the suffixes .jpg .png .zip
             checked

The output depends only on the seed, so runs on different machines time the same bytes.
"""
import os
import random
import sys

SEED = 20240611
PAGE_BYTES = 64 * 1024 * 1024
URL_LINES = 1_000_000


def sjis(text):
    return text.encode("cp932")


WORDS = [sjis(w) for w in (
    "日本語", "テキスト", "写真", "画像", "ダウンロード", "リンク集", "更新情報", "お知らせ",
    "掲示板", "トップページ", "サンプル", "東京", "大阪", "春", "夏", "秋", "冬", "猫", "犬",
    "ファイル", "一覧", "詳細", "こちら", "です", "ます", "について", "を参照", "より",
    "「見出し」", "（注）", "。", "、", "・", "～", "①", "髙橋", "ｶﾀｶﾅ", "ＵＲＬ", "　",
)]
HOSTS = [b"www.example.jp", b"img.example.com", b"files.example.net", b"news.example.org",
         b"cdn.example.co.jp", b"blog.example.info"]
DIRS = [b"img", b"photo", b"dl", b"data/2024", b"archive", b"pub/files", b"~user/pics"]
EXTS = [b".html", b".htm", b".jpg", b".png", b".gif", b".zip", b".txt", b".cgi?id=7", b".jpeg"]


def words(rnd, n):
    return b"".join(rnd.choice(WORDS) for _ in range(n))


def url(rnd, scheme=b"http://"):
    return b"%s%s/%s/%d%s" % (scheme, rnd.choice(HOSTS), rnd.choice(DIRS), rnd.randrange(100000),
                              rnd.choice(EXTS))


def rel(rnd):
    return b"%s/%d%s" % (rnd.choice(DIRS), rnd.randrange(100000), rnd.choice(EXTS))


def page_line(rnd):
    k = rnd.randrange(16)
    if k == 0:
        return b'<a href="%s">%s</a><br>' % (url(rnd), words(rnd, 3))
    if k == 1:
        return b"<A HREF=%s target=_blank>%s</A>" % (url(rnd, b"https://"), words(rnd, 2))
    if k == 2:
        return b'<img src="%s" width=%d height=%d alt=\'%s\'>' % (rel(rnd), rnd.randrange(999),
                                                                rnd.randrange(999), words(rnd, 1))
    if k == 3:
        return b"<IMG SRC=%s border=0><Img Src='/%s'>" % (url(rnd), rel(rnd))
    if k == 4:
        return b"<td class=\"c%d\">%s %s %s</td>" % (rnd.randrange(50), words(rnd, 4), url(rnd),
                                                      words(rnd, 3))
    if k == 5:
        return b"%s ttp://%s/%s/%d.jpg %s" % (words(rnd, 5), rnd.choice(HOSTS), rnd.choice(DIRS),
                                              rnd.randrange(100000), words(rnd, 2))
    if k == 6:
        return b"<script type=\"text/javascript\">var u = '%s'; load(\"%s\");</script>" % (url(rnd),
                                                                                        rel(rnd))
    if k == 7:
        return b"<link rel=stylesheet href=/css/%d.css type=text/css>" % rnd.randrange(1000)
    if k == 8:
        # A tag spread over two lines.
        return b"<a class=\"k\"\r\n href='%s'>%s</a>" % (url(rnd), words(rnd, 2))
    if k == 9:
        return b"(%s) hxxp://%s/%d.zip" % (url(rnd), rnd.choice(HOSTS), rnd.randrange(100000))
    if k == 10:
        return b"<div id=\"d%d\" style=\"margin:0\"><span>%s</span></div>" % (rnd.randrange(10000),
                                                                               words(rnd, 8))
    # Plain Japanese paragraphs make up the rest, as on a real page.
    return b"<p>%s</p>" % words(rnd, rnd.randrange(6, 30))


def write_page(path, rnd):
    with open(path, "wb") as out:
        out.write(b"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                  b"charset=Shift_JIS\"><title>" + words(rnd, 3) + b"</title></head>\r\n<body>\r\n")
        written = 0
        block = []
        while written < PAGE_BYTES:
            line = page_line(rnd) + b"\r\n"
            block.append(line)
            written += len(line)
            if len(block) == 4096:
                out.write(b"".join(block))
                block.clear()
        out.write(b"".join(block))
        out.write(b"</body></html>\r\n")


def write_urls(path, rnd):
    with open(path, "wb") as out:
        block = []
        for i in range(URL_LINES):
            if rnd.randrange(10) == 0:
                block.append(b"http://%s/%s/[00-%02d]%s\r\n" % (rnd.choice(HOSTS), rnd.choice(DIRS),
                                                               rnd.randrange(1, 100), rnd.choice(EXTS)))
            else:
                block.append(url(rnd) + b"\r\n")
            if len(block) == 8192:
                out.write(b"".join(block))
                block.clear()
        out.write(b"".join(block))


def write_table(path):
    pairs = [("hxxp", "http"), ("ｈｔｔｐ", "http"), ("ＨＴＴＰ", "http"), ("：", ":"), ("／", "/"),
             ("．", "."), ("＿", "_"), ("～", "~"), ("&amp;", "&"), ("&quot;", '""'), ("XYZ", '""'),
             ("＠", "@"), ("？", "?"), ("＝", "=")]
    for c in "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ":
        pairs.append((c, chr(ord(c) - 0xFEE0)))
        if len(pairs) == 40:
            break
    assert len(pairs) == 40
    with open(path, "wb") as out:
        for before, after in pairs:
            out.write(sjis(before) + b"\t" + sjis(after) + b"\r\n")


def write_set2(path):
    with open(path, "wb") as out:
        out.write(b"Prefix\t111\thttp://\thttps://\tttp://\r\n")
        out.write(b"Middle\t\r\n")
        out.write(b"Suffix\t111\t.jpg\t.png\t.zip\r\n")
        out.write(b"Auto\t0\r\n")
        out.write(b"Convert\r\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "out")
    os.makedirs(out_dir, exist_ok=True)
    rnd = random.Random(SEED)
    write_page(os.path.join(out_dir, "page.html"), rnd)
    write_urls(os.path.join(out_dir, "urls.txt"), rnd)
    write_table(os.path.join(out_dir, "table40.tbl"))
    write_set2(os.path.join(out_dir, "set2.ini"))


if __name__ == "__main__":
    main()
