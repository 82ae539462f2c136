#!/usr/bin/env python3
"""Writes a deterministic Shift_JIS (code page 932) Japanese text for the encoding benchmarks.

Usage: gen_sjis_text.py OUTPUT [MEGABYTES]   (default 30)

The text mixes kanji, hiragana, katakana, full-width symbols, ASCII words and URLs, and
half-width katakana, in CR LF lines of varying length.
"""
import random
import sys


def kanji(rng):
    lead = rng.choice(list(range(0x89, 0x98)) + list(range(0x99, 0xA0)) + list(range(0xE0, 0xEA)))
    trail = rng.choice(TRAILS)
    return bytes((lead, trail))


TRAILS = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))
HIRAGANA = [bytes((0x82, t)) for t in range(0x9F, 0xF2)]
KATAKANA = [bytes((0x83, t)) for t in range(0x40, 0x97) if t != 0x7F]
SYMBOLS = [bytes((0x81, t)) for t in (0x40, 0x41, 0x42, 0x45, 0x5B, 0x69, 0x6A, 0x75, 0x76, 0x99, 0x9A)]
HALFWIDTH = [bytes((b,)) for b in range(0xA1, 0xE0)]
WORDS = [b"Lanzo", b"http://www.example.com/", b"index.html", b"img/photo_01.jpg", b"2024", b"OK", b"<a href=",
         b"?q=test&page=2", b"abc", b"def", b"ID:42", b"  ", b"\t"]


def run(rng, pick, lo, hi):
    return b"".join(pick(rng) for _ in range(rng.randint(lo, hi)))


def line(rng):
    parts = []
    for _ in range(rng.randint(1, 8)):
        kind = rng.random()
        if kind < 0.30:
            parts.append(run(rng, kanji, 1, 6))
        elif kind < 0.55:
            parts.append(run(rng, lambda r: r.choice(HIRAGANA), 1, 8))
        elif kind < 0.65:
            parts.append(run(rng, lambda r: r.choice(KATAKANA), 2, 6))
        elif kind < 0.70:
            parts.append(rng.choice(SYMBOLS))
        elif kind < 0.75:
            parts.append(run(rng, lambda r: r.choice(HALFWIDTH), 2, 8))
        else:
            parts.append(rng.choice(WORDS))
    return b"".join(parts) + b"\r\n"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    size = int(float(sys.argv[2]) * 1024 * 1024) if len(sys.argv) > 2 else 30 * 1024 * 1024
    rng = random.Random(20240607)
    pool = [line(rng) for _ in range(50000)]
    chunks, total = [], 0
    while total < size:
        chunk = rng.choice(pool)
        chunks.append(chunk)
        total += len(chunk)
    with open(sys.argv[1], "wb") as f:
        f.write(b"".join(chunks))


if __name__ == "__main__":
    main()
