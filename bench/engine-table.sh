#!/usr/bin/env bash
# The engine's speed table: the flock at 1,000, 10,000 and 100,000 bugs and
# 10,000 bugs among 1,000 obstacles, stepped by a reference kova-cli on one
# thread and by this one on one and on two threads. The three are run in turn,
# ROUNDS times (default 5), and the best of each is shown: milliseconds per
# frame on the clock, processor nanoseconds per bug-step (every thread), the
# members in flight and the peak resident memory. A measurement, never a test.
# Usage: bench/engine-table.sh REFERENCE-CLI [CLI] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
reference="$1"
cli="${2:-build/release/src/cli/kova-cli}"
rounds="${3:-5}"

field() { # output, label
  sed -n "s/^$2: \([0-9.]*\).*/\1/p" <<<"$1"
}
below() { # a, b: whether a < b, as decimals
  awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'
}
memory() {
  sed -n 's/^peak resident memory: \([0-9.]*\) MB.*/\1/p' <<<"$1"
}

printf '%-26s %-12s %10s %12s %9s %8s\n' workload binary "ms/frame" "cpu ns/step" "in flight" "peak MB"
for workload in "flock 1000 100" "flock 10000 100" "flock 100000 20" "obstacles 10000 100"; do
  read -r kind bugs frames <<<"$workload"
  declare -A best=()
  for ((round = 0; round < rounds; ++round)); do
    for variant in reference threads1 threads2; do
      case "$variant" in
      reference) out="$("$reference" bench --workload "$kind" --bugs "$bugs" --frames "$frames")" ;;
      threads1) out="$("$cli" bench --workload "$kind" --bugs "$bugs" --frames "$frames" --threads 1)" ;;
      threads2) out="$("$cli" bench --workload "$kind" --bugs "$bugs" --frames "$frames" --threads 2)" ;;
      esac
      ms="$(field "$out" "time per frame")"
      ns="$(field "$out" "processor time per bug-step")"
      flight="$(field "$out" "members in flight")"
      mb="$(memory "$out")"
      if [[ -z "${best[$variant.ms]:-}" ]] || below "$ms" "${best[$variant.ms]}"; then
        best[$variant.ms]="$ms"
        best[$variant.flight]="${flight:--}"
        best[$variant.mb]="$mb"
      fi
      if [[ -z "${best[$variant.ns]:-}" ]] || below "$ns" "${best[$variant.ns]}"; then
        best[$variant.ns]="$ns"
      fi
    done
  done
  for variant in reference threads1 threads2; do
    printf '%-26s %-12s %10s %12s %9s %8s\n' "$kind $bugs" "$variant" "${best[$variant.ms]}" \
      "${best[$variant.ns]}" "${best[$variant.flight]}" "${best[$variant.mb]}"
  done
  unset best
done
