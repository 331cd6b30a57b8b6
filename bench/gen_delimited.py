#!/usr/bin/env python3
"""Writes a deterministic delimited table for the ripping benchmarks.

usage: gen_delimited.py OUT ROWS

Columns: id INT, big BIGINT, x DOUBLE, name VARCHAR(24), code CHAR(8),
day DATE (yyyy-mm-dd), amount DECIMAL(12,2), at TIMESTAMP
(yyyy-mm-dd hh:mm:ss). One header line; about 5% of the text fields are
quoted (some hold the separator or a doubled quote).
"""
import random
import sys


def main():
    out, rows = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20240229)
    words = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
             "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa"]
    with open(out, "w", newline="") as f:
        f.write("id,big,x,name,code,day,amount,at\n")
        chunk = []
        for i in range(rows):
            name = rng.choice(words) + " " + rng.choice(words)
            code = "%s%04d" % (rng.choice("ABCDEFGH") * 4, rng.randrange(10000))
            r = rng.random()
            if r < 0.03:
                name = '"%s, %s"' % (name, rng.choice(words))
            elif r < 0.05:
                name = '"%s ""%s"""' % (name[:12], rng.choice(words)[:6])
            if rng.random() < 0.05:
                code = '"%s"' % code
            day = "%04d-%02d-%02d" % (rng.randrange(1990, 2030), rng.randrange(1, 13),
                                      rng.randrange(1, 29))
            at = "%s %02d:%02d:%02d" % (day, rng.randrange(24), rng.randrange(60),
                                        rng.randrange(60))
            chunk.append("%d,%d,%.6g,%s,%s,%s,%d.%02d,%s\n" % (
                i, rng.randrange(-10**15, 10**15), rng.uniform(-1e6, 1e6), name, code, day,
                rng.randrange(-10**8, 10**8), rng.randrange(100), at))
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk = []
        f.write("".join(chunk))


if __name__ == "__main__":
    main()
