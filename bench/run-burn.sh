#!/usr/bin/env bash
# Burning, side by side in one run:
#  1. delimited burn of the 2,000,000-row table (rows already in the
#     burner's layout, in memory) against the peer database's COPY ... TO
#     csv of the same table held in memory, single-threaded (target: at
#     least 2x its throughput), and against a plain hand-written writer of
#     the same texts (target: at least 0.5x);
#  2. FIXED burn against a plain struct-to-record copy (target: at least 0.5x);
#  3. callgrind instruction counts per row of the burners and the plain code;
#  4. peak memory of `kova convert` from the delimited table to FIXED records
#     over 64 MiB and over 512 MiB of input (target: the same).
# usage: bench/run-burn.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
data=$root/bench/data
rounds=${ROUNDS:-5}
mkdir -p "$data"

if [ ! -s "$data/delimited.csv" ]; then
  echo "generating $data/delimited.csv (2,000,000 rows)"
  python3 "$root/bench/gen_delimited.py" "$data/delimited.csv" 2000000
fi
if [ ! -d "$root/bench/peers/node_modules/@duckdb/node-api" ]; then
  echo "installing the peer (npm)"
  (cd "$root/bench/peers" && npm install --no-audit --no-fund --silent)
fi

echo "== $rounds rounds, each: kova (delimited, hand-written, FIXED, struct copy), then the peer"
rm -f "$data/burn-"*.json "$data/peer-copy.txt"
for round in $(seq 1 "$rounds"); do
  # The program finds bench/ from the build folder.
  (cd "$bin/.." && "$bin/bench_burn" --benchmark_repetitions=1 --benchmark_min_time=0.01 \
    --benchmark_out="$data/burn-$round.json" --benchmark_out_format=json >/dev/null 2>&1)
  (cd "$root/bench/peers" && node duckdb_copy_csv.mjs "$data/delimited.csv" 1 2>/dev/null) \
    >> "$data/peer-copy.txt"
done

python3 - "$data" <<'PY'
import glob, json, statistics, sys
data = sys.argv[1]
runs = [b for f in sorted(glob.glob(f"{data}/burn-*.json")) for b in json.load(open(f))["benchmarks"]]
def median(name, key):
    return statistics.median(b[key] / 1e3 for b in runs if b["name"].startswith(name))
def rate(name):
    return statistics.median(b["bytes_per_second"] / 1e6 for b in runs if b["name"].startswith(name))
text_mb = statistics.median(b["bytes_per_second"] * b["real_time"] / 1e3 / 1e6
                            for b in runs if b["name"].startswith("BM_BurnDelimited"))
peer = [float(l.split()[1]) for l in open(f"{data}/peer-copy.txt")]
peer_cpu = [float(l.split()[3]) for l in open(f"{data}/peer-copy.txt")]
def both(name):
    return median(name, "real_time"), median(name, "cpu_time")
rows = [("kova delimited burn", both("BM_BurnDelimited")),
        ("plain hand-written writer", both("BM_HandWritten")),
        ("peer COPY TO csv (threads=1)", (statistics.median(peer), statistics.median(peer_cpu))),
        ("kova FIXED burn", both("BM_BurnFixed")),
        ("plain struct-to-record copy", both("BM_StructCopy"))]
print(f"{'':<30} {'wall':>9} {'cpu':>9}   (medians of {len(peer)} rounds; text {text_mb:.1f} MB)")
for label, (wall, cpu) in rows:
    print(f"{label:<30} {wall:>7.3f} s {cpu:>7.3f} s")
r = dict(rows)
def ratio(slow, fast, i):
    return r[slow][i] / r[fast][i]
for label, slow, fast, target in [
        ("delimited burn / peer COPY TO", "peer COPY TO csv (threads=1)", "kova delimited burn", ">= 2"),
        ("delimited burn / hand-written", "plain hand-written writer", "kova delimited burn", ">= 0.5"),
        ("FIXED burn / struct copy", "plain struct-to-record copy", "kova FIXED burn", ">= 0.5")]:
    print(f"{label:<31} {ratio(slow, fast, 0):.2f}x wall, {ratio(slow, fast, 1):.2f}x cpu  (target {target})")
PY

if command -v valgrind >/dev/null; then
  # On the first 100,000 rows: callgrind runs some fifty times slower.
  echo "== callgrind: instructions per row (one pass over 100,000 rows)"
  head -100001 "$data/delimited.csv" > "$data/delimited-100k.csv"
  # Only the writing is counted: the burners' writeRows and the plain loops.
  for pair in BM_BurnDelimited:kova::delimitedWriteRows BM_HandWritten:*handWriteBatch* \
              BM_BurnFixed:kova::fixedWriteRows BM_StructCopy:*copyBatch*; do
    name=${pair%%:*}; counted=${pair#*:}
    out=$data/callgrind-$name.out
    (cd "$bin/.." && KOVA_DELIMITED_DATA="$data/delimited-100k.csv" KOVA_FIXED_ROWS=100000 \
      valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
      --toggle-collect="$counted*" "$bin/bench_burn" --benchmark_filter="^$name/" \
      --benchmark_min_time=0.01 >/dev/null 2>&1) || true
    total=$(awk '/^summary:/ { print $2 }' "$out" 2>/dev/null || echo 0)
    # One pass: under valgrind the first iteration outlasts the minimum time.
    awk -v n="$name" -v t="${total:-0}" 'BEGIN { printf "%-20s %8.1f instructions per row\n", n, t / 100000 }'
  done
fi

echo "== peak memory: kova convert from delimited text to FIXED records"
for size in 64 512; do
  big=$data/delimited-${size}m.csv
  if [ ! -s "$big" ] || [ "$(stat -c %s "$big")" -lt $((size * 1048576)) ]; then
    head -1 "$data/delimited.csv" > "$big"
    while [ "$(stat -c %s "$big")" -lt $((size * 1048576)) ]; do tail -n +2 "$data/delimited.csv" >> "$big"; done
  fi
  /usr/bin/time -v "$bin/kova" convert "$root/bench/delimited_typed.xml" "$big" \
    "$root/bench/delimited_fixed.xml" -o /dev/null 2> "$data/convert-time.txt" ||
    { cat "$data/convert-time.txt"; exit 1; }
  grep -E "^kova convert:" "$data/convert-time.txt"
  awk -F: -v s="$(stat -c %s "$big")" '/Maximum resident set size/ { printf "input %.0f MiB: peak resident memory %.1f MiB\n", s / 1048576, $2 / 1024 }' "$data/convert-time.txt"
done
