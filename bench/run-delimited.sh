#!/usr/bin/env bash
# Delimited ripping, side by side in one run:
#  1. typed rip of a 2,000,000-row table in 1 MiB blocks against a plain
#     hand-written typed reader of the same columns (bench/hand_reader.h;
#     target: at least 0.9x its throughput) and against the peer database
#     reading the same file single-threaded with the same column types
#     (target: at least 3x its throughput);
#  2. the untyped split (every column VARCHAR) against a plain memchr scan
#     for the separator and the line feed (target: at least 0.6x);
#  3. peak memory of `kova rip --format none` over a 1 GiB file in 1 MiB
#     blocks (target: under 100 MiB).
# usage: bench/run-delimited.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
data=$root/bench/data
rounds=${ROUNDS:-5}
. "$root/bench/common.sh"
ensure_delimited_data "$data/delimited.csv"
ensure_peer

bytes=$(stat -c %s "$data/delimited.csv")
# Rounds alternate between kova and the peer, so that a change in the
# machine's load falls on both alike.
echo "== $rounds rounds, each: kova in memory (typed, split, memchr, hand-written reader), then the peer (typed, text)"
rm -f "$data/kova-"*.json "$data/peer-typed.txt" "$data/peer-text.txt"
for round in $(seq 1 "$rounds"); do
  "$bin/bench_delimited" --benchmark_repetitions=1 --benchmark_min_time=0.01 \
    --benchmark_out="$data/kova-$round.json" --benchmark_out_format=json >/dev/null 2>&1
  (cd "$root/bench/peers" && node duckdb_read_csv.mjs "$data/delimited.csv" 1 typed 2>/dev/null) \
    >> "$data/peer-typed.txt"
  (cd "$root/bench/peers" && node duckdb_read_csv.mjs "$data/delimited.csv" 1 text 2>/dev/null) \
    >> "$data/peer-text.txt"
done

python3 - "$data" "$bytes" <<'PY'
import glob, json, statistics, sys
data, size = sys.argv[1], int(sys.argv[2])
runs = [b for f in sorted(glob.glob(f"{data}/kova-*.json")) for b in json.load(open(f))["benchmarks"]]
def median(name, key):
    return statistics.median(b[key] / 1e3 for b in runs
                             if b["name"].startswith(name) and b.get("run_type", "iteration") == "iteration")
def peer(mode, column):
    return statistics.median(float(l.split()[column]) for l in open(f"{data}/peer-{mode}.txt"))
mb = size / 1e6
print(f"{'':<34} {'wall':>9}   {'MB/s':>7}   {'cpu':>7}   {'MB/s':>7}   (medians)")
row = "{:<34} {:>7.3f} s {:>7.1f}   {:>5.3f} s {:>7.1f}"
results = {}
for label, wall, cpu in [
        ("kova typed rip", median("BM_RipTyped", "real_time"), median("BM_RipTyped", "cpu_time")),
        ("hand-written typed reader", median("BM_HandWritten", "real_time"), median("BM_HandWritten", "cpu_time")),
        ("peer read_csv typed (threads=1)", peer("typed", 1), peer("typed", 3)),
        ("kova untyped split", median("BM_SplitText", "real_time"), median("BM_SplitText", "cpu_time")),
        ("peer read_csv all VARCHAR", peer("text", 1), peer("text", 3)),
        ("memchr scan (separator, LF)", median("BM_MemchrScan", "real_time"), median("BM_MemchrScan", "cpu_time"))]:
    results[label] = (wall, cpu)
    print(row.format(label, wall, mb / wall, cpu, mb / cpu))
def ratio(a, b, i):
    return results[b][i] / results[a][i]
print(f"typed rip / hand-written: {ratio('kova typed rip', 'hand-written typed reader', 0):.2f}x wall, "
      f"{ratio('kova typed rip', 'hand-written typed reader', 1):.2f}x cpu  (target >= 0.9)")
print(f"typed rip / peer typed:   {ratio('kova typed rip', 'peer read_csv typed (threads=1)', 0):.2f}x wall, "
      f"{ratio('kova typed rip', 'peer read_csv typed (threads=1)', 1):.2f}x cpu  (target >= 3)")
print(f"untyped split / memchr:   {ratio('kova untyped split', 'memchr scan (separator, LF)', 0):.2f}x wall, "
      f"{ratio('kova untyped split', 'memchr scan (separator, LF)', 1):.2f}x cpu  (target >= 0.6)")
PY

big=$data/delimited-1g.csv
if [ ! -s "$big" ] || [ "$(stat -c %s "$big")" -lt 1073741824 ]; then
  echo "making $big"
  head -1 "$data/delimited.csv" > "$big"
  while [ "$(stat -c %s "$big")" -lt 1073741824 ]; do tail -n +2 "$data/delimited.csv" >> "$big"; done
fi
echo "== peak memory: kova rip --format none over $(( $(stat -c %s "$big") / 1048576 )) MiB"
/usr/bin/time -v "$bin/kova" rip "$root/bench/delimited_typed.xml" "$big" --format none \
  --block-size 1M 2> "$data/time.txt" || { cat "$data/time.txt"; exit 1; }
grep -E "^kova rip:" "$data/time.txt"
awk -F: '/Maximum resident set size/ { printf "peak resident memory: %.1f MiB (target < 100)\n", $2 / 1024 }' "$data/time.txt"
