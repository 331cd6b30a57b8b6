#!/usr/bin/env bash
# The main job: rip the bundled sales orders and print them. The UTF-8 file
# has a header line, quoted fields (one with doubled quotes, one over two
# lines) and empty values, which become nulls; the Latin-1 copy goes through
# the transcoding front end and must give the same rows.
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
