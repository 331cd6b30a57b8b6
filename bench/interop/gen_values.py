#!/usr/bin/env python3
"""Writes the interoperability table: every type kova burns, with the values
that trip writers up (separators, qualifiers, CR and LF inside text, nulls,
38-digit decimals, dates far from 1960, timestamp fractions, non-ASCII
text), as RFC 4180 CSV with a header line.
With nonull, integers are never null (fixed-width records cannot hold a
null integer).
usage: gen_values.py OUT.csv [ROWS] [nonull]"""
import csv
import random
import sys

out, rows = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 500
nulls = 'nonull' not in sys.argv[3:]
rng = random.Random(1960)
texts = ['plain', 'a,b', 'say "hi"', '"quoted"', 'line\nbreak', 'cr\r\nlf', 'Renée', 'Tomás',
         '日本語のテキスト', 'emoji 🚀', 'back\\slash', 'tab\there', ';semi;', "it's"]
dates = ['1582-10-15', '1859-12-31', '1900-02-28', '1959-12-31', '1960-01-01', '2000-02-29',
         '2024-02-29', '2100-03-01', '2999-12-31']


def maybe(value, integer=False):
    if integer and not nulls:
        return value
    return '' if rng.random() < 0.08 else value


with open(out, 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f, lineterminator='\n')
    w.writerow(['id', 'i', 's', 't', 'x', 'd', 'v', 'c', 'day', 'tm', 'ts'])
    for n in range(rows):
        digits = ''.join(rng.choice('0123456789') for _ in range(28)).lstrip('0') or '0'
        decimal = f"{rng.choice(['', '-'])}{digits}.{rng.randrange(10**10):010d}"
        second = rng.randrange(86400)
        clock = f'{second // 3600:02d}:{second // 60 % 60:02d}:{second % 60:02d}'
        fraction = rng.choice(['', f'.{rng.randrange(10**6):06d}', '.5', '.000001'])
        w.writerow([
            n + 1,
            maybe(str(rng.randrange(-2**31, 2**31)), True),
            maybe(str(rng.randrange(-2**15, 2**15)), True),
            maybe(str(rng.randrange(-128, 128)), True),
            maybe(repr(rng.choice([rng.uniform(-1e6, 1e6), 0.1, -2.5, 1e-7, 123456789.125]))),
            maybe(decimal),
            maybe(rng.choice(texts) + (str(n) if rng.random() < 0.5 else '')),
            maybe(rng.choice(['A', 'bc', 'Zürich', 'x y'])),
            maybe(rng.choice(dates)),
            maybe(clock),
            maybe(rng.choice(dates) + ' ' + clock + fraction),
        ])
