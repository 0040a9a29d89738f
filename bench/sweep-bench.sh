#!/usr/bin/env bash
# Times kova-cli sweep on the flock example (a measurement, never a test):
# - the sweep's own cost per run: 64 runs of a single frame, so that nearly
#   all of the time is starting the run's process, building the scene and
#   writing its results, with --jobs 1;
# - 64 short runs (4 s of simulated time) with --jobs 1 and --jobs 2, and the
#   ratio of the two, which is near 0.5 on an otherwise idle machine with two
#   cores or more.
# Each sweep runs ROUNDS times (default 3) and the fastest is shown.
# Usage: bench/sweep-bench.sh [kova-cli] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build/release/src/cli/kova-cli}"
rounds="${2:-3}"
work="$(mktemp -d /tmp/kova-sweep-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

experiment() { # span, measure
  cat <<EOF
{"scene": "$(pwd)/simulations/scenes/flock.json",
 "variables": [{"pointer": "/groups/0/template/behaviours/1/weight",
                "range": {"from": 0, "to": 15, "step": 1}}],
 "replicates": {"count": 4, "seed": 3},
 "until": "$1"$2}
EOF
}
experiment "0:1" "" >"$work/overhead.json"
experiment "4:0" ', "measure": {"every": 5, "window": "2:0", "statistics": ["polarisation", "clusters"]}' \
  >"$work/short.json"

# The fastest wall time in seconds of ROUNDS sweeps from scratch.
fastest() { # experiment, jobs
  local best="" t
  for _ in $(seq "$rounds"); do
    rm -rf "$work/out"
    local start end
    start=$(date +%s.%N)
    "$cli" sweep "$1" -o "$work/out" --jobs "$2" 2>/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

overhead=$(fastest "$work/overhead.json" 1)
one=$(fastest "$work/short.json" 1)
two=$(fastest "$work/short.json" 2)
awk -v o="$overhead" -v a="$one" -v b="$two" 'BEGIN {
  printf "cost per run (64 one-frame runs, --jobs 1): %.1f ms\n", o * 1000 / 64
  printf "64 short runs: --jobs 1 %.2f s, --jobs 2 %.2f s, ratio %.2f\n", a, b, b / a
}'
