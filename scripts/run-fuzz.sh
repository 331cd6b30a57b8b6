#!/usr/bin/env bash
# Runs each fuzz target in $1 for $2 seconds on its seed corpus (fuzz/corpus/NAME),
# every fuzz_* program there: a target added to fuzz/ is built into it and run
# too. Up to $3 targets (default 2, one a core) run at once. Prints each
# target's executions per second; exits 1 on any crash.
set -euo pipefail
bin=$1; seconds=$2; jobs=${3:-2}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One target: its corpus copied to a folder of its own, its log kept for the
# report; writes NAME.ok or NAME.failed.
fuzz_one() {
  local target=$1 name corpus
  name=$(basename "$target"); name=${name#fuzz_}
  corpus="$root/fuzz/corpus/$name"
  mkdir -p "$work/$name"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work/$name"/
  if "$target" -max_total_time="$seconds" -print_final_stats=1 "$work/$name" \
    2>"$work/$name.log"; then
    touch "$work/$name.ok"
  else
    touch "$work/$name.failed"
  fi
}

targets=()
for target in "$bin"/fuzz_*; do
  [ -x "$target" ] && targets+=("$target")
done
echo "fuzz: ${#targets[@]} targets for ${seconds}s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target"); name=${name#fuzz_}
  if [ -e "$work/$name.ok" ]; then
    grep -o 'exec/s: [0-9]*' "$work/$name.log" | tail -n 1 | sed "s/^/fuzz: $name /" || true
  else
    status=1
    echo "fuzz: $name FAILED"
    tail -n 40 "$work/$name.log"
  fi
done
exit $status
