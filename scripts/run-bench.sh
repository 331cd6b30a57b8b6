#!/usr/bin/env bash
# Runs every benchmark program in $1 (medians of 5), then CLF and FIXED
# ripping against their yardsticks (bench/run-clf-fixed.sh), the delimited
# ripping, burning and JSON ripping comparisons with their peers, which make
# their own data (bench/run-delimited.sh, bench/run-burn.sh, bench/run-json.sh).
set -euo pipefail
bin=$1
root=$(cd "$(dirname "$0")/.." && pwd)
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  case "$(basename "$b")" in bench_delimited | bench_burn | bench_json) continue ;; esac
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
echo "== CLF and FIXED ripping against their yardsticks"
bash "$root/bench/run-clf-fixed.sh" "$bin"
echo "== delimited ripping against its peer"
bash "$root/bench/run-delimited.sh" "$bin"
echo "== burning against its peer"
bash "$root/bench/run-burn.sh" "$bin"
echo "== JSON ripping against yajl and its peer"
bash "$root/bench/run-json.sh" "$bin"
