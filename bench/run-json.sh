#!/usr/bin/env bash
# JSON ripping, side by side in one run:
#  1. typed rip of the 2,000,000-row benchmark table written as JSON lines,
#     in 1 MiB blocks, against yajl parsing the same bytes with empty
#     callbacks (target: at least 0.7 of its throughput) and against the
#     peer database's read_json with the same column types, single-threaded
#     (target: at least 1.5x its throughput);
#  2. peak memory of `kova rip --format none` over a 1 GiB file in 1 MiB
#     blocks (target: under 100 MiB).
# usage: bench/run-json.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
data=$root/bench/data
rounds=${ROUNDS:-5}
mkdir -p "$data"

if [ ! -s "$data/json.jsonl" ]; then
  echo "generating $data/json.jsonl (2,000,000 rows)"
  python3 "$root/bench/gen_json.py" "$data/json.jsonl" 2000000
fi
if [ ! -d "$root/bench/peers/node_modules/@duckdb/node-api" ]; then
  echo "installing the peer (npm)"
  (cd "$root/bench/peers" && npm install --no-audit --no-fund --silent)
fi

bytes=$(stat -c %s "$data/json.jsonl")
# Rounds alternate between kova (with yajl) and the peer, so that a change
# in the machine's load falls on all alike.
echo "== $rounds rounds, each: kova in memory (typed rip, bare yajl parse), then the peer"
rm -f "$data/kova-json-"*.json "$data/peer-json.txt"
for round in $(seq 1 "$rounds"); do
  "$bin/bench_json" --benchmark_repetitions=1 --benchmark_min_time=0.01 \
    --benchmark_out="$data/kova-json-$round.json" --benchmark_out_format=json >/dev/null 2>&1
  (cd "$root/bench/peers" && node duckdb_read_json.mjs "$data/json.jsonl" 1 2>/dev/null) \
    >> "$data/peer-json.txt"
done

python3 - "$data" "$bytes" <<'PY'
import glob, json, statistics, sys
data, size = sys.argv[1], int(sys.argv[2])
runs = [b for f in sorted(glob.glob(f"{data}/kova-json-*.json")) for b in json.load(open(f))["benchmarks"]]
def median(name, key):
    return statistics.median(b[key] / 1e3 for b in runs
                             if b["name"].startswith(name) and b.get("run_type", "iteration") == "iteration")
def peer(column):
    return statistics.median(float(l.split()[column]) for l in open(f"{data}/peer-json.txt"))
mb = size / 1e6
print(f"{'':<34} {'wall':>9}   {'MB/s':>7}   {'cpu':>7}   {'MB/s':>7}   (medians)")
row = "{:<34} {:>7.3f} s {:>7.1f}   {:>5.3f} s {:>7.1f}"
results = {}
for label, wall, cpu in [
        ("kova typed JSON rip", median("BM_RipJsonTyped", "real_time"), median("BM_RipJsonTyped", "cpu_time")),
        ("yajl bare parse (empty callbacks)", median("BM_YajlBareParse", "real_time"), median("BM_YajlBareParse", "cpu_time")),
        ("peer read_json typed (threads=1)", peer(1), peer(3))]:
    results[label] = (wall, cpu)
    print(row.format(label, wall, mb / wall, cpu, mb / cpu))
def ratio(a, b, i):
    return results[b][i] / results[a][i]
k = "kova typed JSON rip"
print(f"rip / bare yajl parse: {ratio(k, 'yajl bare parse (empty callbacks)', 0):.2f} wall, "
      f"{ratio(k, 'yajl bare parse (empty callbacks)', 1):.2f} cpu  (target >= 0.7)")
print(f"rip / peer read_json:  {ratio(k, 'peer read_json typed (threads=1)', 0):.2f}x wall, "
      f"{ratio(k, 'peer read_json typed (threads=1)', 1):.2f}x cpu  (target >= 1.5)")
PY

big=$data/json-1g.jsonl
if [ ! -s "$big" ] || [ "$(stat -c %s "$big")" -lt 1073741824 ]; then
  echo "making $big"
  : > "$big"
  while [ "$(stat -c %s "$big")" -lt 1073741824 ]; do cat "$data/json.jsonl" >> "$big"; done
fi
echo "== peak memory: kova rip --format none over $(( $(stat -c %s "$big") / 1048576 )) MiB"
/usr/bin/time -v "$bin/kova" rip "$root/bench/json_typed.xml" "$big" --format none \
  --block-size 1M 2> "$data/time-json.txt" || { cat "$data/time-json.txt"; exit 1; }
grep -E "^kova rip:" "$data/time-json.txt"
awk -F: '/Maximum resident set size/ { printf "peak resident memory: %.1f MiB (target < 100)\n", $2 / 1024 }' "$data/time-json.txt"
