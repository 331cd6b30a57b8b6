#!/usr/bin/env bash
# Parallel ripping, side by side in one run, on the 2,000,000-row table of
# bench/run-delimited.sh (typed, `--format none`):
#  1. `kova rip --jobs 2` against the machine's own two-core ceiling for kova:
#     two `kova rip --split` processes ripping the two halves at the same time
#     (target: at least 0.9 of its throughput);
#  2. against the peer database's read_csv with 2 threads, same types
#     (target: at least 2x);
#  3. the verified path of the qualified table (`--jobs 2`) against the line
#     rule (`--jobs 2 --no-quoted-newlines`) on the same data, whose qualified
#     fields hold no line end (target: within 10%);
#  4. peak memory of --jobs 2 and --jobs 1 over the file and over a file
#     four times its size (flat in the file's size).
# The load of the machine is printed before and after: other work on a shared
# machine moves every figure.
# usage: bench/run-jobs.sh [BIN_DIR]   (default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
data=$root/bench/data
rounds=${ROUNDS:-5}
doc=$root/bench/delimited_typed.xml
file=$data/delimited.csv
. "$root/bench/common.sh"
ensure_delimited_data "$file"
ensure_peer
bytes=$(stat -c %s "$file")
half=$((bytes / 2))

# "WALL CPU" seconds of a command (CPU: user and system, children included).
timed() {
  /usr/bin/time -f "%e %U %S" -o "$data/one-time.txt" "$@" > /dev/null 2>&1
  awk '{ print $1, $2 + $3 }' "$data/one-time.txt"
}

echo "== load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
out=$data/jobs-times.txt
: > "$out"
for round in $(seq 1 "$rounds"); do
  echo "jobs1 $(timed "$bin/kova" rip "$doc" "$file" --format none --jobs 1)" >> "$out"
  echo "jobs2 $(timed "$bin/kova" rip "$doc" "$file" --format none --jobs 2)" >> "$out"
  echo "halves $(timed bash -c "'$bin/kova' rip '$doc' '$file' --format none \
      --no-quoted-newlines --split 0:$half & '$bin/kova' rip '$doc' '$file' --format none \
      --no-quoted-newlines --split $half:$((bytes - half)) & wait")" >> "$out"
  echo "lines2 $(timed "$bin/kova" rip "$doc" "$file" --format none --jobs 2 --no-quoted-newlines)" \
    >> "$out"
  peer=$(cd "$root/bench/peers" && node duckdb_read_csv.mjs "$file" 1 typed 2 2>/dev/null)
  echo "peer2 $(echo "$peer" | awk '{print $2, $4}')" >> "$out"
done
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$out" "$bytes" <<'PY'
import statistics, sys
wall, cpu = {}, {}
for line in open(sys.argv[1]):
    name, w, c = line.split()
    wall.setdefault(name, []).append(float(w))
    cpu.setdefault(name, []).append(float(c))
mb = int(sys.argv[2]) / 1e6
med = {k: statistics.median(v) for k, v in wall.items()}
medc = {k: statistics.median(v) for k, v in cpu.items()}
labels = {"jobs1": "kova --jobs 1", "jobs2": "kova --jobs 2 (verified)",
          "halves": "two --split processes at once", "lines2": "kova --jobs 2 --no-quoted-newlines",
          "peer2": "peer read_csv, threads=2"}
print(f"{'':<38} {'wall':>7}   {'MB/s':>7}   {'cpu':>7}   (medians; wall of each round)")
for key, label in labels.items():
    print(f"{label:<38} {med[key]:7.3f} s {mb / med[key]:7.1f}   {medc[key]:7.3f} s   ("
          + " ".join(f"{t:.3f}" for t in wall[key]) + ")")
print(f"--jobs 2 / two-process ceiling: {med['halves'] / med['jobs2']:.2f} wall, "
      f"{medc['halves'] / medc['jobs2']:.2f} cpu (target >= 0.9)")
print(f"--jobs 2 / peer threads=2:      {med['peer2'] / med['jobs2']:.2f}x wall, "
      f"{medc['peer2'] / medc['jobs2']:.2f}x cpu (target >= 2)")
print(f"verified / line rule:           {med['jobs2'] / med['lines2']:.2f} of the wall time, "
      f"{medc['jobs2'] / medc['lines2']:.2f} of the cpu (target <= 1.10)")
print(f"--jobs 2 / --jobs 1 speed-up:   {med['jobs1'] / med['jobs2']:.2f}x wall")
PY

echo "== peak memory (--format none)"
big=$data/delimited-4x.csv
if [ ! -s "$big" ]; then
  cp "$file" "$big"
  for _ in 1 2 3; do tail -n +2 "$file" >> "$big"; done
fi
for f in "$file" "$big"; do
  for jobs in 1 2; do
    /usr/bin/time -v "$bin/kova" rip "$doc" "$f" --format none --jobs "$jobs" 2> "$data/time.txt" \
      || { cat "$data/time.txt"; exit 1; }
    awk -F: -v f="$(basename "$f")" -v j="$jobs" '/Maximum resident set size/ {
      printf "%-20s --jobs %s: peak resident memory %.1f MiB\n", f, j, $2 / 1024 }' "$data/time.txt"
  done
done
