#!/usr/bin/env python3
"""Writes the rows of gen_delimited.py as JSON lines, for the JSON ripping
benchmark: the same random sequence, so the same values, one object per
line with the members in column order.

usage: gen_json.py OUT ROWS

Members: id, big (integers), x (a number), name, code (strings; some
with a comma or a quote, escaped), day (yyyy-mm-dd), amount (a number with
two decimals), at (yyyy-mm-dd hh:mm:ss).
"""
import json
import random
import sys


def main():
    out, rows = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20240229)
    words = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
             "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa"]
    with open(out, "w", newline="") as f:
        chunk = []
        for i in range(rows):
            name = rng.choice(words) + " " + rng.choice(words)
            code = "%s%04d" % (rng.choice("ABCDEFGH") * 4, rng.randrange(10000))
            r = rng.random()
            if r < 0.03:
                name = "%s, %s" % (name, rng.choice(words))
            elif r < 0.05:
                name = '%s "%s"' % (name[:12], rng.choice(words)[:6])
            rng.random()  # the quoting of code in the delimited twin
            day = "%04d-%02d-%02d" % (rng.randrange(1990, 2030), rng.randrange(1, 13),
                                      rng.randrange(1, 29))
            at = "%s %02d:%02d:%02d" % (day, rng.randrange(24), rng.randrange(60),
                                        rng.randrange(60))
            chunk.append('{"id":%d,"big":%d,"x":%.6g,"name":%s,"code":%s,"day":"%s",'
                         '"amount":%d.%02d,"at":"%s"}\n' % (
                             i, rng.randrange(-10**15, 10**15), rng.uniform(-1e6, 1e6),
                             json.dumps(name), json.dumps(code), day,
                             rng.randrange(-10**8, 10**8), rng.randrange(100), at))
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk = []
        f.write("".join(chunk))


if __name__ == "__main__":
    main()
