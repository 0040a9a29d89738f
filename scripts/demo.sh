#!/usr/bin/env bash
# A headless demonstration of kova-cli, for machines without a display:
# records the motion of the obstacle course's runners as motion data, runs the
# flock for a few simulated seconds with a per-frame trace, its end state and
# the flock's statistics, makes a video of the flock with kova-render, sweeps a
# small experiment, times a generated flock of 10,000 bugs, and prints where
# everything went.
# Outputs go to build/demo/.
# Usage: scripts/demo.sh   (KOVA_CLI=path/to/kova-cli to use another build)
set -euo pipefail
cd "$(dirname "$0")/.."

cli="${KOVA_CLI:-build/release/src/cli/kova-cli}"
if [ ! -x "$cli" ]; then
  echo "kova-cli not found at $cli; build it first (cmake --preset release && cmake --build --preset release)" >&2
  exit 1
fi
out=build/demo
mkdir -p "$out"

echo "== Motion data: the runners of simulations/obstacle-course.kvz, 0:0 to 10:0, every 5th frame"
"$cli" export simulations/obstacle-course.kvz --group Runners --until 10:0 --every 5 \
  -o "$out/runners.kmd"
head -n 4 "$out/runners.kmd" | tr -d '\r'
echo "   ..."

echo
echo "== Run: simulations/flock.kvz for 5 simulated seconds, traced"
"$cli" run simulations/flock.kvz --until 5:0 --trace "$out/flock-trace.csv" \
  --state "$out/flock-state.json" --stats "$out/flock-stats.csv" --every 25
head -n 3 "$out/flock-trace.csv"
echo "   ..."
echo "Statistics, once a second:"
cut -d, -f1-3,8,9,11 "$out/flock-stats.csv"

render="$(dirname "$cli")/kova-render"
if [ -x "$render" ]; then
  echo
  echo "== Video: simulations/flock.kvz for 10 simulated seconds, with time stamp and statistics"
  "$render" simulations/flock.kvz --until 10:0 --time-stamp --stats-overlay \
    --video "$out/flock.mp4"
fi

echo
echo "== Experiment: simulations/experiments/flock-alignment.json (5 weights x 4 replicates)"
"$cli" sweep simulations/experiments/flock-alignment.json -o "$out/alignment"
cut -d, -f2-5 "$out/alignment/summary.csv"

echo
echo "== Scene: simulations/triggers.kvz as JSON"
"$cli" dump simulations/triggers.kvz >"$out/triggers.json"
head -n 14 "$out/triggers.json"
echo "   ..."

echo
echo "== Bench: a generated flock of 10,000 bugs, 20 frames, with the spatial index"
"$cli" bench --workload flock --bugs 10000 --frames 20

echo
echo "Outputs in $out/:"
for file in runners.kmd flock-trace.csv flock-state.json flock-stats.csv triggers.json \
  alignment/results.csv alignment/summary.csv; do
  printf '  %-22s %8d lines\n' "$file" "$(wc -l <"$out/$file")"
done
[ -f "$out/flock.mp4" ] && printf '  %-22s %8d bytes\n' flock.mp4 "$(wc -c <"$out/flock.mp4")"
echo "Try: $cli --help"
