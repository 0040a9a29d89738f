#!/usr/bin/env bash
# Checks that two kova-cli binaries step simulations to the same bits: the
# four examples and generated flocks of 1,000 and 10,000 bugs are run by both
# with a trace of every bug in every frame, and the traces are compared.
# Extra arguments go to the second binary's runs (say, --threads 2).
# Usage: bench/identity-check.sh REFERENCE-CLI CANDIDATE-CLI [RUN-ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
reference="$1"
candidate="$2"
shift 2
work="$(mktemp -d /tmp/kova-identity.XXXXXX)"
trap 'rm -rf "$work"' EXIT

for n in 1000 10000; do
  python3 scripts/make-flock-scene.py "$n" 7 >"$work/flock-$n.json"
  "$candidate" build "$work/flock-$n.json" "$work/flock-$n.kvz" 2>/dev/null
done

failed=0
check() { # file, span
  local name
  name="$(basename "$1" .kvz)"
  "$reference" run "$1" --until "$2" --trace "$work/$name.reference.csv" 2>/dev/null
  "$candidate" run "$1" --until "$2" --trace "$work/$name.candidate.csv" "${@:3}" 2>/dev/null
  if cmp -s "$work/$name.reference.csv" "$work/$name.candidate.csv"; then
    echo "same:      $name until $2"
  else
    echo "DIFFERENT: $name until $2"
    failed=1
  fi
  rm -f "$work/$name".*.csv
}
for example in simulations/*.kvz; do
  check "$example" 30:0 "$@"
done
check "$work/flock-1000.kvz" 10:0 "$@"
check "$work/flock-10000.kvz" 4:0 "$@"
exit "$failed"
