#!/usr/bin/env bash
# The main job: rip the bundled sales orders and print them. The UTF-8 file
# has a header line, quoted fields (one with doubled quotes, one over two
# lines) and empty values, which become nulls; the Latin-1 copy goes through
# the transcoding front end and must give the same rows. Then the table is
# converted to FIXED records and back, which gives the file again.
set -euo pipefail
kova=$1
examples=$(cd "$(dirname "$0")/../examples" && pwd)
echo "kova $("$kova" version | awk '$1 == "version" { print $2 }')"
echo
echo "== examples/orders.csv (UTF-8) with examples/orders.delimited.xml"
"$kova" rip "$examples/orders.delimited.xml" "$examples/orders.csv" --format table
echo
echo "== examples/orders-latin1.csv (ISO-8859-1), as JSON lines"
"$kova" rip "$examples/orders-latin1.delimited.xml" "$examples/orders-latin1.csv" --format jsonl
echo
echo "== kova convert: examples/orders.csv to FIXED records (examples/orders.fixed.xml) and back"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$kova" convert "$examples/orders.delimited.xml" "$examples/orders.csv" \
  "$examples/orders.fixed.xml" -o "$work/orders.fixed" --verify
echo "$(stat -c %s "$work/orders.fixed") bytes of FIXED records; ripped with examples/orders.fixed.xml:"
"$kova" rip "$examples/orders.fixed.xml" "$work/orders.fixed" --format table
"$kova" convert "$examples/orders.fixed.xml" "$work/orders.fixed" \
  "$examples/orders.delimited.xml" -o "$work/orders.csv" --verify
if cmp -s "$work/orders.csv" "$examples/orders.csv"; then
  echo "converted back to delimited text: byte for byte examples/orders.csv"
else
  echo "converted back to delimited text, which differs from examples/orders.csv:"
  diff "$examples/orders.csv" "$work/orders.csv" || true
fi
