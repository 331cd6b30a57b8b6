#!/usr/bin/env bash
# Runs each fuzz target in $1 for $2 seconds on its seed corpus (fuzz/corpus/NAME),
# every fuzz_* program there: a target added to fuzz/ is built into it and run
# too. Prints each target's executions per second; exits 1 on any crash.
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
  if "$target" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>"$work.log"; then
    grep -o 'exec/s: [0-9]*' "$work.log" | tail -n 1 | sed "s/^/fuzz: $name /" || true
  else
    status=1
    tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
exit $status
