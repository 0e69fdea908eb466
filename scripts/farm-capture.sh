#!/usr/bin/env bash
# Submits a video capture to Slurm: a job array with one task per segment,
# each rendering its part into a shared folder, and a join job that starts
# once every task has succeeded (and is cancelled if one fails).
#
# usage: scripts/farm-capture.sh --segments N --video OUT [--parts DIR] [--cpus C]
#                                [--capture PROGRAM] [--wait] [capture options...]
#
#   --segments N   parts, one array task each (1 to 10000)
#   --video OUT    the joined video; the parts go to OUT.parts/ unless --parts
#                  names another folder, the jobs' logs to OUT.logs/. Both must
#                  be on a folder every node sees under the same path.
#   --cpus C       cores per task; llvmpipe then draws with C threads
#                  (LP_NUM_THREADS). Without it each task gets Slurm's default.
#   --capture P    the capture program (default: build/demo-capture of this tree)
#   --wait         return when the join has ended, with its status
# Every other option goes to demo-capture unchanged (--from, --to, --preset,
# --media, ...). FARM_SBATCH_ARGS adds options to both sbatch calls
# (a partition, an account, a time limit).
set -euo pipefail

usage() { sed -n '6,20s/^# \{0,1\}//p' "$0"; }
fail() {
  echo "farm-capture: $*" >&2
  exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)
capture="$root/build/demo-capture"
segments="" video="" parts="" cpus="" wait=0
pass=()
while [ $# -gt 0 ]; do
  case "$1" in
    --segments | --video | --parts | --cpus | --capture)
      [ $# -ge 2 ] || fail "$1 needs a value"
      case "$1" in
        --segments) segments=$2 ;;
        --video) video=$2 ;;
        --parts) parts=$2 ;;
        --cpus) cpus=$2 ;;
        --capture) capture=$2 ;;
      esac
      shift 2
      ;;
    --wait) wait=1 && shift ;;
    -h | --help) usage && exit 0 ;;
    *) pass+=("$1") && shift ;;
  esac
done

[[ "$segments" =~ ^[1-9][0-9]{0,3}$|^10000$ ]] || fail "bad value for --segments: \"$segments\" (a whole number, 1 to 10000)"
[ -n "$video" ] || fail "no --video OUT"
[ -z "$cpus" ] || [[ "$cpus" =~ ^[1-9][0-9]{0,3}$ ]] || fail "bad value for --cpus: \"$cpus\" (a whole number)"
[ -x "$capture" ] || fail "cannot run the capture program \"$capture\""
command -v sbatch >/dev/null || fail "sbatch is not installed (Debian package: slurm-client)"

# The tasks may start in another folder: every path they use is absolute.
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac }
video=$(absolute "$video")
parts=$(absolute "${parts:-$video.parts}")
capture=$(absolute "$capture")
logs="$video.logs"
mkdir -p "$parts" "$logs"

quoted() { printf '%q ' "$@"; }
common=$(quoted --video "$video" "${pass[@]}")
threads=${cpus:+export LP_NUM_THREADS=$cpus}
read -ra extra <<<"${FARM_SBATCH_ARGS:-}"

# sbatch reads the job script from stdin; bash runs it, so %q quoting holds.
array=$(sbatch --parsable --job-name=capture-parts --array="1-$segments" \
  ${cpus:+--cpus-per-task="$cpus"} --output="$logs/part-%a.out" "${extra[@]}" <<EOF
#!/usr/bin/env bash
$threads
exec $(quoted "$capture") --segment "\$SLURM_ARRAY_TASK_ID/$segments" --parts $(quoted "$parts") $common
EOF
)
array=${array%%;*}

# The join keeps the parts when it fails; once the video is in place they
# go (regular files only), then their folder.
join_script=$(
  cat <<EOF
#!/usr/bin/env bash
set -e
$(quoted "$capture") --join $(quoted "$parts") $common
find $(quoted "$parts") -maxdepth 1 -type f -delete
rmdir $(quoted "$parts")
EOF
)
echo "farm-capture: parts as job $array (tasks 1-$segments), logs in $logs"
waiting=()
[ "$wait" = 0 ] || waiting=(--wait)
status=0
join=$(sbatch --parsable --job-name=capture-join --dependency="afterok:$array" \
  --kill-on-invalid-dep=yes --output="$logs/join.out" "${waiting[@]}" "${extra[@]}" \
  <<<"$join_script") || status=$?
join=${join%%;*}
echo "farm-capture: join as job $join, into $video"
exit "$status"
