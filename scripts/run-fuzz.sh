#!/usr/bin/env bash
# Runs each fuzz target in $1 for $2 seconds on its seed corpus (fuzz/corpus/NAME).
set -euo pipefail
bin=$1; seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$bin"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus="$root/fuzz/corpus/$name"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$work" 2>"$work.log" || { status=1; tail -n 40 "$work.log"; }
  rm -rf "$work" "$work.log"
done
exit $status
