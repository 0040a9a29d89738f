#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build/fuzz and runs each of
# them for a while with AddressSanitizer and UndefinedBehaviorSanitizer:
#
#   bash scripts/fuzz.sh smoke          60 seconds per target
#   bash scripts/fuzz.sh long SECONDS   SECONDS per target
#
# Every target starts from a scratch copy of its seed folder in fuzz/corpus
# (build/fuzz/runs/<target>/corpus), so the repository is never written; new
# inputs stay in the scratch folder, and an input that crashes, trips a
# sanitizer, leaks, runs out of time or memory is written to
# build/fuzz/runs/<target>/ and makes the script fail once all targets ran.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/fuzz.sh smoke | long SECONDS" >&2
  exit 2
}

case "${1:-}" in
  smoke) seconds=60 ;;
  long)
    seconds="${2:-}"
    [[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage
    ;;
  *) usage ;;
esac

bash scripts/setup.sh

root="$(pwd)"
build="$root/build/fuzz"

# Only kova_core, kova-cli's scene library and the fuzz targets are built;
# -O1 keeps the instrumented code fast enough for thousands of inputs a
# second without hiding much from the sanitizers.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DKOVA_WERROR=ON \
  -DKOVA_BUILD_FUZZ=ON -DKOVA_BUILD_CLI=ON -DKOVA_BUILD_GUI=OFF \
  -DKOVA_BUILD_TESTS=OFF -DKOVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target kova_fuzz -j2

# target, seed folder, dictionary (or none), largest input in bytes.
# The largest sizes hold a small simulation or scene with one object of each
# kind; larger inputs only repeat objects and make every input slower.
targets=(
  "kvz_load kvz fuzz/kvz.dict 2048"
  "scene_build scene fuzz/scene.dict 4096"
  "kmd_number kmd - 16"
)

failed=()
for entry in "${targets[@]}"; do
  read -r target seeds dict maxLen <<<"$entry"
  work="$build/runs/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp -r "fuzz/corpus/$seeds/." "$work/corpus/"
  options=(
    -max_total_time="$seconds" -max_len="$maxLen"
    -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=30
    # The entropic scheduler's feature bookkeeping costs more than running
    # the inputs of these targets; without it they run twice as fast.
    -entropic=0
    -print_final_stats=1 -artifact_prefix="$work/"
  )
  [ "$dict" != "-" ] && options+=(-dict="$root/$dict")
  echo "== $target: $seconds s"
  if (cd "$work" && "$build/fuzz/$target" "${options[@]}" corpus >"$work/log" 2>&1); then
    grep -E '^(#[0-9]+.*DONE|stat::(number_of_executed_units|average_exec_per_sec))' "$work/log" || true
  else
    echo "$target FAILED; the end of $work/log:"
    tail -n 40 "$work/log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in build/fuzz/runs/<target>/)" >&2
  exit 1
fi
echo "No target found a problem."
