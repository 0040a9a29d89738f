#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for trying and testing job arrays
# without a real cluster: Debian's munged, slurmctld and slurmd, run as root
# without systemd, with every file under one folder of their own.
#
#   bash scripts/slurm-local.sh start   # starts the daemons, waits for the node
#   bash scripts/slurm-local.sh stop    # cancels every job, stops the daemons
#   bash scripts/slurm-local.sh env     # prints "export SLURM_CONF=..."
#
# The client commands (sbatch, squeue, sinfo) find the cluster through
# SLURM_CONF=$KOVA_SLURM_DIR/slurm.conf. KOVA_SLURM_DIR defaults to
# /tmp/kova-slurm; KOVA_SLURM_PORT (default 16817) and the next port are the
# controller's and the node's.
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${KOVA_SLURM_DIR:-/tmp/kova-slurm}"
port="${KOVA_SLURM_PORT:-16817}"
conf="$dir/slurm.conf"
export SLURM_CONF="$conf"

# Whether the process of the pid file is alive; a daemon that has exited may
# linger as a zombie for a moment, which counts as gone.
alive() {
  local pid
  [ -f "$1" ] || return 1
  pid="$(cat "$1" 2>/dev/null)" || return 1
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  local state
  state="$(sed 's/^.*) \(.\).*$/\1/' "/proc/$pid/stat" 2>/dev/null)" || return 1
  [ "$state" != "Z" ] && [ "$state" != "X" ]
}

# Waits up to $2 seconds for the command $1 to succeed.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

stop_daemon() {
  local pidfile="$1"
  if alive "$pidfile"; then
    kill "$(cat "$pidfile")" 2>/dev/null || true
    wait_for "! alive '$pidfile'" 15 || kill -KILL "$(cat "$pidfile")" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

write_config() {
  local host cpus
  host="$(hostname -s)"
  cpus="$(nproc)"
  cat >"$conf" <<EOF
# Written by scripts/slurm-local.sh: one node, this machine.
ClusterName=kova-local
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket.2
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerParameters=batch_sched_delay=0
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MailProg=/bin/true
ReturnToService=2
MinJobAge=300
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=local Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
}

start() {
  bash scripts/setup.sh
  if alive "$dir/slurmctld.pid" || alive "$dir/slurmd.pid" || alive "$dir/munge/munged.pid"; then
    echo "slurm-local: already running in $dir; stop it first" >&2
    exit 1
  fi
  mkdir -p "$dir/state" "$dir/spool" "$dir/munge"
  # munged runs as its own user and insists that its files are that user's,
  # and that every user can reach its socket.
  chown munge:munge "$dir/munge"
  chmod 0711 "$dir/munge"
  if [ ! -f "$dir/munge/munge.key" ]; then
    dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  fi
  chown munge:munge "$dir/munge/munge.key"
  chmod 0400 "$dir/munge/munge.key"
  runuser -u munge -- /usr/sbin/munged \
    --socket="$dir/munge/munge.socket.2" --key-file="$dir/munge/munge.key" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
    --seed-file="$dir/munge/munged.seed"
  wait_for "[ -S '$dir/munge/munge.socket.2' ]" 10 || {
    echo "slurm-local: munged did not start; see $dir/munge/munged.log" >&2
    exit 1
  }
  write_config
  # -c: no jobs from an earlier cluster in the state folder.
  /usr/sbin/slurmctld -c
  /usr/sbin/slurmd -c
  if ! wait_for "sinfo -h -o %T 2>/dev/null | grep -qx idle" 30; then
    echo "slurm-local: the node did not become idle; see $dir/slurmctld.log and $dir/slurmd.log" >&2
    exit 1
  fi
  echo "slurm-local: running; export SLURM_CONF=$conf"
}

stop() {
  # slurmd leaves running job steps behind when it stops, so the jobs go
  # first and the queue must be empty before the daemons stop.
  if alive "$dir/slurmctld.pid"; then
    scancel --full --quiet --user="$(id -un)" 2>/dev/null || true
    if ! wait_for "[ -z \"\$(squeue -h -o %i 2>/dev/null)\" ]" 30; then
      echo "slurm-local: jobs are still in the queue; stopping anyway" >&2
    fi
  fi
  stop_daemon "$dir/slurmd.pid"
  stop_daemon "$dir/slurmctld.pid"
  stop_daemon "$dir/munge/munged.pid"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  env) echo "export SLURM_CONF=$conf" ;;
  *)
    echo "usage: $0 start|stop|env" >&2
    exit 2
    ;;
esac
