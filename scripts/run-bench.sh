#!/usr/bin/env bash
# Runs every benchmark program in $1 (medians of 5), then the delimited
# comparison with its peer, which makes its own data (bench/run-delimited.sh).
set -euo pipefail
bin=$1
root=$(cd "$(dirname "$0")/.." && pwd)
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  case "$(basename "$b")" in bench_delimited) continue ;; esac
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
echo "== delimited ripping against its peer"
bash "$root/bench/run-delimited.sh" "$bin"
