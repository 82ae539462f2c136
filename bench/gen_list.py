#!/usr/bin/env python3
"""Writes a deterministic URL list of about MEGABYTES for the expansion benchmark.

Usage: gen_list.py OUTPUT [MEGABYTES]   (default 50)

One line in ten holds a [00-NN] range (two to a hundred numbers), the rest are plain URLs;
lines end with CR LF.
"""
import random
import sys

HOSTS = [b"www.example.jp", b"img.example.com", b"files.example.net", b"news.example.org"]
DIRS = [b"img", b"photo", b"dl", b"data/2024", b"archive", b"pub/files"]
EXTS = [b".html", b".jpg", b".png", b".gif", b".zip", b".txt"]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    size = int(float(sys.argv[2]) * 1024 * 1024) if len(sys.argv) > 2 else 50 * 1024 * 1024
    rnd = random.Random(20240612)
    written = 0
    with open(sys.argv[1], "wb") as out:
        block = []
        while written < size:
            if rnd.randrange(10) == 0:
                line = b"http://%s/%s/[00-%02d]%s\r\n" % (rnd.choice(HOSTS), rnd.choice(DIRS),
                                                         rnd.randrange(1, 100), rnd.choice(EXTS))
            else:
                line = b"http://%s/%s/%d%s\r\n" % (rnd.choice(HOSTS), rnd.choice(DIRS),
                                                   rnd.randrange(100000), rnd.choice(EXTS))
            block.append(line)
            written += len(line)
            if len(block) == 8192:
                out.write(b"".join(block))
                block.clear()
        out.write(b"".join(block))


if __name__ == "__main__":
    main()
