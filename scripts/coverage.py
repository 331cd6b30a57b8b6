#!/usr/bin/env python3
"""Line and branch coverage per folder (src/, runtime/, tools/) from the
.gcda files a coverage build's test run left in BUILD, read through
`gcov --json-format`. A line or branch counts once however many objects
include it (headers), as covered when any of them ran it. With --uncovered
PATTERN, also lists the lines of matching files that never ran. With
--allocation-sites, lists every allocation call site of src/ (pool
allocations and resizes, pools, cans, can and tree insertions, host objects)
whose failure path never ran: the first line after the call that returns or
logs, and was never executed."""
import argparse
import gzip
import json
import os
import re
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
        out = subprocess.run(["gcov", "--json-format", "--branch-probabilities", "--branch-counts",
                              "--stdout",
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


ALLOCATION = re.compile(r"\b(poolAllocate|poolResize|createPool|createResourceCan|canAdd|"
                        r"insertItem|registerHostObject|createTranscoder|createWideTranscoder|"
                        r"encodingHandle|createObject|loadExtension|copyString)\(")


def allocation_sites(root, lines):
    """Prints the allocation sites of src/ whose failure path never ran."""
    total = missed = 0
    for folder, _, files in os.walk(os.path.join(root, "src")):
        for name in sorted(files):
            if not name.endswith(".cc"):
                continue
            rel = os.path.relpath(os.path.join(folder, name), root)
            text = open(os.path.join(root, rel), encoding="utf-8").read().splitlines()
            for i, line in enumerate(text):
                code = line.split("//")[0]
                if not ALLOCATION.search(code) or re.match(r"\s*(inline |static )?\w[\w:<>*& ]* \w+\(.*\) \{", code):
                    continue
                # The failure path: the first later line that returns or logs.
                for j in range(i, min(i + 8, len(text))):
                    if re.search(r"\breturn\b|logAllocationFailure|abandon\(", text[j].split("//")[0]) and j > i - 1:
                        if j == i and "return" in text[j] and "?" not in text[j] and "if" not in text[j]:
                            continue
                        key = (rel, j + 1)
                        if key not in lines:
                            continue
                        total += 1
                        if not lines[key]:
                            missed += 1
                            print(f"not reached: {rel}:{i + 1}: {line.strip()}")
                        break
    print(f"allocation sites of src/ with a failure path: {total}, never failed in a test: {missed}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--root", default=os.getcwd())
    parser.add_argument("--uncovered", default=None)
    parser.add_argument("--allocation-sites", action="store_true")
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
    if args.allocation_sites:
        allocation_sites(root, lines)
    if args.uncovered:
        for (f, n), ran in sorted(lines.items()):
            if not ran and args.uncovered in f:
                print(f"{f}:{n}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
