#!/usr/bin/env bash
# Sweeps an experiment through a real Slurm, a one-node cluster on this
# machine (scripts/slurm-local.sh), and checks that the results the job array
# collects are the same bytes as those of the same sweep run locally. The
# cluster is stopped again however the test ends.
# Usage: scripts/slurm-test.sh [preset]   (default: release; kova-cli is built)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
preset="${1:-release}"
cli="$root/build/$preset/src/cli/kova-cli"

export KOVA_SLURM_DIR="${KOVA_SLURM_DIR:-/tmp/kova-slurm-test}"
export KOVA_SLURM_PORT="${KOVA_SLURM_PORT:-16827}"
export SLURM_CONF="$KOVA_SLURM_DIR/slurm.conf"
work="$(mktemp -d /tmp/kova-slurm-test-work.XXXXXX)"

finish() {
  local status=$?
  bash scripts/slurm-local.sh stop || status=1
  # Exited processes may linger as zombies for a moment; they do not count.
  if ps -eo stat=,comm= | awk '$2 == "slurmstepd" && $1 !~ /^Z/ { found = 1 } END { exit !found }'; then
    echo "slurm-test: job steps are still running after the cluster stopped" >&2
    status=1
  fi
  rm -rf "$work"
  [ $status -eq 0 ] && echo "slurm-test: passed" || echo "slurm-test: FAILED" >&2
  exit $status
}
trap finish EXIT

cmake --build "build/$preset" --target kova-cli >/dev/null
bash scripts/slurm-local.sh start

# 4 alignment weights x 3 replicates = 12 runs, 2 to an array task.
cat >"$work/experiment.json" <<EOF
{
  "scene": "$root/simulations/scenes/flock.json",
  "variables": [{"name": "alignment", "pointer": "/groups/0/template/behaviours/1/weight",
                 "values": [0, 2, 4, 8]}],
  "replicates": {"count": 3, "seed": 11},
  "until": "6:0",
  "measure": {"every": 5, "window": "2:0",
              "statistics": ["polarisation", "milling", "clusters", "radius_of_gyration"]}
}
EOF

"$cli" sweep "$work/experiment.json" -o "$work/local" --jobs 2
job="$("$cli" sweep "$work/experiment.json" -o "$work/cluster" --slurm --submit --runs-per-task 2)"
echo "slurm-test: job array $job submitted"

# Finished jobs leave the scheduler's memory soon (no accounting), so the
# end is told by the collected results, which appear all at once.
deadline=$((SECONDS + 300))
until [ -f "$work/cluster/results.csv" ]; do
  if [ $SECONDS -ge $deadline ]; then
    echo "slurm-test: no results after 300 s" >&2
    squeue >&2 || true
    cat "$work/cluster/slurm/"*.log >&2 || true
    exit 1
  fi
  sleep 0.2
done

cmp "$work/local/results.csv" "$work/cluster/results.csv"
cmp "$work/local/summary.csv" "$work/cluster/summary.csv"
[ "$(wc -l <"$work/cluster/results.csv")" -eq 13 ]
ls "$work/cluster/slurm/task-"{0,1,2,3,4,5}.log >/dev/null
