#!/usr/bin/env bash
# make farm-check: a single-node Slurm on this machine (munged, slurmctld and
# slurmd on 127.0.0.1, with a private configuration, state and spool under a
# temporary folder), a short 1080p capture submitted through
# scripts/farm-capture.sh as 4 segments, and the joined video checked against
# a one-piece capture of the same range; before it, a capture whose parts
# fail must end --wait with status 1. In both, a file of the user's in the
# parts folder must stay. Every daemon started here is stopped
# by its PID and the folder removed, also when a step fails.
# usage: scripts/farm-check.sh BUILD_DIR (as root)
set -euo pipefail

build=$(cd "${1:?usage: farm-check.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "farm-check: $*"; }
fail() {
  echo "farm-check: FAILED: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || fail "run as root: it starts Slurm's and munge's daemons"
"$root/scripts/install-deps.sh" slurm-wlm munge

work=$(mktemp -d /tmp/farm-check.XXXXXX)
# munged wants its socket's folder open to everyone.
chmod 755 "$work"
pids=()
export SLURM_CONF="$work/slurm.conf"

# Jobs first (their tasks run under slurmstepd, which outlives slurmd), then
# the daemons in the reverse order of their start, each by its PID.
stop_all() {
  local status=$?
  trap - EXIT INT TERM
  if [ ${#pids[@]} -gt 1 ]; then
    scancel --quiet --full --signal=TERM --user=root 2>/dev/null || true
    for _ in $(seq 30); do
      [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
      sleep 1
    done
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ]; then
    for log in "$work"/*.log "$work"/out/*.logs/*; do
      [ -f "$log" ] && tail -n 5 "$log" | sed "s|^|  $(basename "$log"): |" >&2
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A port nothing listens on now, as the kernel hands one out.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# munge: a fresh key, its socket and files in the folder.
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge.key"
munged --foreground --force --key-file="$work/munge.key" --socket="$work/munge.socket" \
  --pid-file="$work/munged.pid" --log-file="$work/munged.log" --seed-file="$work/munged.seed" \
  >/dev/null 2>&1 &
pids+=($!)

host=$(hostname -s)
cpus=$(nproc)
mkdir -p "$work/state" "$work/spool" "$work/shared" "$work/out"
ctld_port=$(free_port)
slurmd_port=$(free_port)
while [ "$slurmd_port" = "$ctld_port" ]; do slurmd_port=$(free_port); done
cat >"$SLURM_CONF" <<EOF
ClusterName=farmcheck
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
NodeName=farm1 NodeHostname=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=farm Nodes=farm1 Default=YES MaxTime=INFINITE State=UP
EOF
for _ in $(seq 50); do
  [ -S "$work/munge.socket" ] && break
  sleep 0.1
done
slurmctld -D -f "$SLURM_CONF" >/dev/null 2>&1 &
pids+=($!)
slurmd -D -N farm1 -f "$SLURM_CONF" >/dev/null 2>&1 &
pids+=($!)

for _ in $(seq 60); do
  state=$(sinfo -h -n farm1 -o %t 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 1
done
[ "$state" = idle ] || fail "the node did not come up (state: \"${state:-none}\")"
say "single-node Slurm up (slurmctld, slurmd, munged as PIDs ${pids[*]})"

# A stand-in job proves the scheduler runs work before the long one.
sbatch --quiet --wait --output=/dev/null --wrap=true || fail "a stand-in job did not run"

range=(--from 50 --to 52)
media="$build/media"
out="$work/out/farm.mp4"

# Parts that fail (no media folder on the nodes): Slurm cancels the join,
# --wait must say so, and a user's file in the parts folder stays.
mkdir -p "$work/shared/kept"
echo "the user's" >"$work/shared/kept/notes.txt"
status=0
"$root/scripts/farm-capture.sh" --capture "$build/demo-capture" --segments 2 --cpus 1 \
  --video "$work/out/failed.mp4" --parts "$work/shared/kept" --wait \
  --from 50 --to 50.5 --media "$work/no-media" 2>"$work/failed.err" || status=$?
[ "$status" = 1 ] || fail "farm-capture --wait returned $status for parts that failed, not 1"
grep -q "ended CANCELLED" "$work/failed.err" || fail "the cancelled join was not named: $(cat "$work/failed.err")"
[ ! -e "$work/out/failed.mp4" ] || fail "a video was made from parts that failed"
[ -f "$work/shared/kept/notes.txt" ] || fail "the user's file in the parts folder was removed"
say "parts that failed: the join cancelled, exit 1, the user's file kept"

# The capture itself, into a parts folder that also holds a user's file.
mkdir -p "$work/shared/parts"
echo "the user's" >"$work/shared/parts/notes.txt"
start=$(date +%s)
"$root/scripts/farm-capture.sh" --capture "$build/demo-capture" --segments 4 --cpus 1 \
  --video "$out" --parts "$work/shared/parts" --wait \
  --preset 1080p "${range[@]}" --media "$media" || fail "the capture jobs failed"
say "4 segments and the join through Slurm in $(($(date +%s) - start)) s"
"$build/demo-capture" --preset 1080p "${range[@]}" --media "$media" --video "$work/one.mp4" \
  2>/dev/null || fail "the one-piece capture failed"

probe() { ffprobe -v error -count_packets -select_streams "$1" -show_entries "$2" -of csv=p=0 "$3"; }
frames=$(probe v:0 stream=nb_read_packets "$out")
[ "$frames" = 120 ] || fail "the joined video has $frames frames, not 120"
duration=$(probe v:0 stream=duration "$out")
[ "$duration" = 2.000000 ] || fail "the joined video lasts $duration s, not 2"
[ -n "$(probe a:0 stream=codec_name "$out")" ] || fail "the joined video has no sound track"
left=$(ls -A "$work/shared/parts")
[ "$left" = notes.txt ] || fail "the parts folder holds \"$left\", not just the user's notes.txt"
worst=$(ffmpeg -hide_banner -nostdin -i "$out" -i "$work/one.mp4" \
  -lavfi "[0:v][1:v]psnr=stats_file=$work/psnr.txt" -f null - 2>/dev/null &&
  awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^psnr_avg:/) { v = substr($i, 10); if (v == "inf") v = 99;
         if (min == "" || v + 0 < min) min = v + 0 } } END { print min }' "$work/psnr.txt")
awk -v w="$worst" 'BEGIN { exit !(w >= 35) }' || fail "a frame is at $worst dB against the one-piece capture"
say "passed: 120 frames, 2.000000 s, a sound track, every frame at least $worst dB against one piece"
