#!/usr/bin/env python3
"""Line and branch coverage per folder (src/, runtime/, tools/) from the
.gcda files a coverage build's test run left in BUILD, read through
`gcov --json-format`. A line or branch counts once however many objects
include it (headers), as covered when any of them ran it. With --uncovered
PATTERN, also lists the lines of matching files that never ran."""
import argparse
import gzip
import json
import os
import subprocess
import sys
from collections import defaultdict

FOLDERS = ("src/", "runtime/", "tools/")


def gcov_reports(build):
    gcdas = []
    for root, _, files in os.walk(build):
        gcdas += [os.path.join(root, f) for f in files if f.endswith(".gcda")]
    for gcda in gcdas:
        # gcov writes NAME.gcov.json.gz into the working directory.
        out = subprocess.run(["gcov", "--json-format", "--branch-counts", "--stdout",
                              os.path.abspath(gcda)],
                             cwd=os.path.dirname(gcda), capture_output=True)
        if out.returncode != 0 or not out.stdout:
            continue
        for chunk in out.stdout.splitlines():
            chunk = chunk.strip()
            if chunk:
                try:
                    yield json.loads(chunk)
                except json.JSONDecodeError:
                    yield json.loads(gzip.decompress(chunk))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--root", default=os.getcwd())
    parser.add_argument("--uncovered", default=None)
    args = parser.parse_args()
    root = os.path.abspath(args.root) + "/"
    lines = defaultdict(bool)      # (file, line) -> ran
    branches = defaultdict(bool)   # (file, line, index) -> taken
    for report in gcov_reports(args.build):
        for f in report.get("files", []):
            path = os.path.abspath(os.path.join(report.get("current_working_directory", ""),
                                                f["file"]))
            if not path.startswith(root):
                continue
            rel = path[len(root):]
            if not rel.startswith(FOLDERS):
                continue
            for line in f["lines"]:
                key = (rel, line["line_number"])
                lines[key] = lines[key] or line["count"] > 0
                for i, b in enumerate(line.get("branches", [])):
                    if b.get("throw"):
                        continue  # exception edges of the host and tool
                    bkey = (rel, line["line_number"], i)
                    branches[bkey] = branches[bkey] or b["count"] > 0
    print(f"{'folder':10} {'lines':>22} {'branches':>22}")
    for folder in FOLDERS:
        l = [v for (f, _), v in lines.items() if f.startswith(folder)]
        b = [v for (f, _, _), v in branches.items() if f.startswith(folder)]
        lp = 100.0 * sum(l) / len(l) if l else 0.0
        bp = 100.0 * sum(b) / len(b) if b else 0.0
        print(f"{folder:10} {lp:6.1f}% ({sum(l):6}/{len(l):6}) {bp:6.1f}% ({sum(b):6}/{len(b):6})")
    if args.uncovered:
        for (f, n), ran in sorted(lines.items()):
            if not ran and args.uncovered in f:
                print(f"{f}:{n}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
