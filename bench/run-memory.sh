#!/usr/bin/env bash
# Peak memory (maximum resident set, from /usr/bin/time) of `kova rip
# --format none` on the inputs whose row block or held field once grew with
# the wrong thing:
#  1. 12 MB of short lines into one VARCHAR(32000) column;
#  2. the same lines into ten VARCHAR(32000) columns;
#  3. one 300 MB quoted field (then a short row) into a VARCHAR(100) column.
# The data is generated under a temporary folder and removed afterwards.
# usage: bench/run-memory.sh [BIN_DIR] [--memory SIZE]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
shift || true
work=$(mktemp -d /tmp/kova-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT

doc() {  # doc FILE COLUMNS LENGTH
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<kova><recfm>DELIMITED</recfm><encoding cei="20">UTF-8</encoding>'
    echo '<fieldsep>,</fieldsep><textqual>&quot;</textqual><columns>'
    for i in $(seq 1 "$2"); do
      echo "<column><name>c$i</name><type>VARCHAR</type><charlength>$3</charlength></column>"
    done
    echo '</columns></kova>'
  } > "$1"
}

doc "$work/one.xml" 1 32000
doc "$work/ten.xml" 10 32000
doc "$work/narrow.xml" 1 100
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
with open(work + "/short.csv", "w") as f:
    line = "abcde\n"
    f.write(line * (12_000_000 // len(line)))
with open(work + "/quoted.csv", "wb") as f:
    f.write(b'"')
    chunk = (b"0123456789" * 100 + b"\n") * 1024
    for _ in range(300_000_000 // len(chunk)):
        f.write(chunk)
    f.write(b'"\nlast\n')
PY

peak() {  # peak LABEL ARGS...
  local label=$1
  shift
  local out
  out=$( { /usr/bin/time -f 'peak %M KiB' "$bin/kova" rip "$@" --format none; } 2>&1 ) || true
  printf '%-34s %s\n' "$label" "$(echo "$out" | grep -E '^peak|rows|no memory|failed' | tr '\n' ' ')"
}

peak "12 MB into VARCHAR(32000)" "$work/one.xml" "$work/short.csv" "$@"
peak "12 MB into 10 x VARCHAR(32000)" "$work/ten.xml" "$work/short.csv" "$@"
peak "300 MB quoted field" "$work/narrow.xml" "$work/quoted.csv" "$@"
