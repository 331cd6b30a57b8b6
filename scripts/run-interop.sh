#!/usr/bin/env bash
# Interoperability with a real peer database (from the npm package
# @duckdb/node-api, installed into bench/peers/node_modules on first use):
#  1. a table of every type kova burns, burned as delimited text by kova
#     convert, is read by the peer's read_csv with explicit types to the
#     values kova rips from it;
#  2. the peer's COPY ... TO csv of the same table rips with kova to the
#     peer's values;
#  3. FIXED, NATIVE and VARBIN records burned in batches of 1, 7 and 10,000
#     rows rip back to the rows burned (kova convert --verify), NATIVE
#     records being byte for byte the FIXED ones.
# Every comparison is value by value and stops at the first difference.
# usage: scripts/run-interop.sh [KOVA]   (default build/bin/kova)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kova=${1:-$root/build/bin/kova}
docs=$root/bench/interop
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -d "$root/bench/peers/node_modules/@duckdb/node-api" ]; then
  echo "installing the peer (npm)"
  (cd "$root/bench/peers" && npm install --no-audit --no-fund --silent)
fi
peer() { (cd "$root/bench/peers" && node interop.mjs "$@"); }

python3 "$docs/gen_values.py" "$work/source.csv" 3000
python3 "$docs/gen_values.py" "$work/source-nonull.csv" 3000 nonull
csv=$docs/every_type.delimited.xml

echo "== 1. kova burns delimited text, the peer reads it"
"$kova" convert "$csv" "$work/source.csv" "$csv" -o "$work/burned.csv" --verify --batch 100
"$kova" rip "$csv" "$work/source.csv" --format jsonl > "$work/source.jsonl" 2>/dev/null
"$kova" rip "$csv" "$work/burned.csv" --format jsonl > "$work/burned.jsonl" 2>/dev/null
peer compare "$work/source.jsonl" "$work/burned.jsonl"
peer read "$work/burned.csv" "$work/burned.jsonl"

echo "== 2. the peer writes csv with COPY ... TO, kova rips it"
peer write "$work/source.csv" "$work/peer.csv"
"$kova" rip "$csv" "$work/peer.csv" --format jsonl > "$work/peer-ripped.jsonl" 2>/dev/null
peer compare "$work/peer.csv.jsonl" "$work/peer-ripped.jsonl"

echo "== 3. FIXED, NATIVE and VARBIN: burn, then rip"
for batch in 1 7 10000; do
  for format in fixed native varbin; do
    verify=--verify
    # A NATIVE ripper reads text; its records are checked against FIXED's.
    [ "$format" = native ] && verify=
    "$kova" convert "$csv" "$work/source-nonull.csv" "$docs/every_type.$format.xml" \
      -o "$work/out.$format" $verify --batch "$batch" 2>&1 | sed "s/^/  batch $batch $format: /"
    [ "${PIPESTATUS[0]}" = 0 ] || exit 1
  done
  cmp "$work/out.fixed" "$work/out.native" || { echo "interop: NATIVE and FIXED records differ"; exit 1; }
done
echo "interop: every comparison alike"
