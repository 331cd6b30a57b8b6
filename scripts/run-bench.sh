#!/usr/bin/env bash
# Runs every benchmark program in $1.
set -euo pipefail
bin=$1
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
