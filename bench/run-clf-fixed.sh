#!/usr/bin/env bash
# CLF and FIXED ripping against their yardsticks, side by side in one run:
#  1. the 1,000,000-line log typed (bench/clf.cc, 1 MiB blocks) against a
#     plain memchr scan of the same bytes for line feeds and blanks (target:
#     at least 0.5 of its throughput);
#  2. the 2,000,000 FIXED records typed in memory (bench/fixed.cc) against a
#     plain loop copying the same fields into a struct (target: at least 0.8).
# Each round runs every program once, in turn, so that a change in the
# machine's load falls on both sides alike; the ratios are of medians.
# usage: bench/run-clf-fixed.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
rounds=${ROUNDS:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "== $rounds rounds, each: the CLF pair, then the FIXED pair"
for round in $(seq 1 "$rounds"); do
  "$bin/bench_clf" --benchmark_filter='BM_ClfMemchrScan|BM_ClfRipTyped/1048576' \
    --benchmark_out="$out/clf-$round.json" --benchmark_out_format=json >/dev/null 2>&1
  "$bin/bench_fixed" --benchmark_filter='PlainStructCopy|FixedRip' \
    --benchmark_out="$out/fixed-$round.json" --benchmark_out_format=json >/dev/null 2>&1
done
python3 - "$out" <<'PY'
import glob, json, statistics, sys
out = sys.argv[1]
runs = [b for f in sorted(glob.glob(f"{out}/*.json")) for b in json.load(open(f))["benchmarks"]]
def median(name):
    mine = [b for b in runs if b["name"].split("/")[0] == name
            and b.get("run_type", "iteration") == "iteration"]
    return statistics.median(b["real_time"] for b in mine), mine[0]["time_unit"]
print(f"{'':<40} {'median':>12}")
pairs = [("CLF typed rip", "BM_ClfRipTyped", "memchr scan for line feeds and blanks", "BM_ClfMemchrScan", 0.5),
         ("FIXED typed rip in memory", "FixedRip", "plain struct copy", "PlainStructCopy", 0.8)]
for label, name, peer_label, peer, target in pairs:
    (ours, unit), (theirs, _) = median(name), median(peer)
    print(f"{label:<40} {ours:>9.1f} {unit}")
    print(f"{peer_label:<40} {theirs:>9.1f} {unit}")
    print(f"  ratio (throughput, ours / yardstick): {theirs / ours:.2f}x  (target >= {target})")
PY
