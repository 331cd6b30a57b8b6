#!/usr/bin/env bash
# kova meta infer on a 1 GiB delimited file made at run time in bench/data/
# (never committed):
#  1. the default sample (the first 1 MiB and 64 spans): target under a second;
#  2. --sample all against `kova rip --format none` with the inferred document
#     on the same file: target at least half its throughput.
# Rounds alternate between the two, so a change in the machine's load falls
# on both alike; medians of wall time and of user CPU time are printed.
# usage: bench/run-infer.sh [BIN_DIR]   (default build/bin; ROUNDS=5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
data=$root/bench/data
rounds=${ROUNDS:-5}
mkdir -p "$data"
big=$data/infer-1g.csv
if [ ! -s "$big" ]; then
  echo "generating $big (1,000,000 rows of bench/gen_delimited.py, written 11 times)"
  python3 "$root/bench/gen_delimited.py" "$data/infer-base.csv" 1000000
  { head -1 "$data/infer-base.csv"; for _ in $(seq 1 11); do tail -n +2 "$data/infer-base.csv"; done; } > "$big"
  rm -f "$data/infer-base.csv"
fi
bytes=$(stat -L -c %s "$big")
"$bin/kova" meta infer "$big" > "$data/infer-1g.xml"

times=$data/infer-times.txt
: > "$times"
timed() {  # label command...: appends "label wall user"
  local label=$1
  shift
  /usr/bin/time -f "$label %e %U" -a -o "$times" "$@" > /dev/null 2>&1
}
for round in $(seq 1 "$rounds"); do
  timed sample "$bin/kova" meta infer "$big"
  timed all "$bin/kova" meta infer "$big" --sample all
  timed rip "$bin/kova" rip "$data/infer-1g.xml" "$big" --format none
done

median() {  # label field
  awk -v l="$1" -v f="$2" '$1 == l { print $f }' "$times" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "file: $mb MB, $rounds rounds (median wall / user CPU seconds)"
echo "default sample: $(median sample 2) s / $(median sample 3) s   (target: under 1 s)"
for what in all rip; do
  echo "$what: $(median $what 2) s / $(median $what 3) s"
done
awk -v a="$(median all 2)" -v r="$(median rip 2)" -v au="$(median all 3)" -v ru="$(median rip 3)" \
  'BEGIN { printf "--sample all throughput / rip --format none: %.2f by wall time, %.2f by CPU (target: at least 0.5)\n", r / a, ru / au }'
