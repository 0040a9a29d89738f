#!/usr/bin/env bash
# Compares two kova-cli binaries on one thread by running them at the same
# time, each pinned to a core of its own, so that whatever else the machine
# is doing slows both alike; the cores are swapped every round. Prints each
# round's processor time per bug-step of both and their ratio (candidate over
# reference), then the geometric mean of the ratios: below 1, the candidate
# is faster. The two cores of a shared machine can differ in speed by a
# third or more, and which is faster changes, so each round's ratio spreads widely;
# the mean over a dozen rounds or more settles. Both runs share the memory
# bus, so large workloads slow each other a little, alike. A measurement,
# never a test.
# Usage: bench/paired-compare.sh REFERENCE-CLI CANDIDATE-CLI ROUNDS BENCH-ARGS...
# (an even ROUNDS gives each binary each core equally often)
# e.g.   bench/paired-compare.sh old/kova-cli new/kova-cli 16 --workload flock --bugs 10000
set -euo pipefail
reference="$1"
candidate="$2"
rounds="$3"
shift 3

# The cores this shell may run on, from a list such as "0-3,6".
cores=()
for part in $(taskset -pc $$ | sed 's/.*: //' | tr ',' ' '); do
  for ((core = ${part%-*}; core <= ${part#*-}; ++core)); do
    cores+=("$core")
  done
done
if [[ "${#cores[@]}" -lt 2 ]]; then
  echo "paired-compare needs two cores to run on" >&2
  exit 1
fi

work="$(mktemp -d /tmp/kova-paired.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cpuTime() {
  sed -n 's/^processor time per bug-step: \([0-9.]*\).*/\1/p' "$1"
}

printf '%-6s %14s %14s %8s\n' round reference candidate ratio
for ((round = 0; round < rounds; ++round)); do
  referenceCore="${cores[round % 2]}"
  candidateCore="${cores[(round + 1) % 2]}"
  # Pinned to one core, kova-cli steps on one thread by default.
  taskset -c "$referenceCore" "$reference" bench "$@" >"$work/reference" &
  referenceRun=$!
  taskset -c "$candidateCore" "$candidate" bench "$@" >"$work/candidate" &
  candidateRun=$!
  failed=0
  wait "$referenceRun" || failed=$?
  wait "$candidateRun" || failed=$?
  if ((failed != 0)); then
    exit "$failed"
  fi
  echo "$((round + 1)) $(cpuTime "$work/reference") $(cpuTime "$work/candidate")"
done | awk '{ ratio = $3 / $2; sum += log(ratio); printf "%-6s %14s %14s %8.3f\n", $1, $2, $3, ratio }
  END { if (NR > 0) printf "geometric mean of candidate / reference: %.3f over %d rounds\n", exp(sum / NR), NR }'
