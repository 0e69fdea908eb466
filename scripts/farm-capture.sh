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
#   --wait         return when the join has ended: 0 only when Slurm says it
#                  completed and the video is there
# Every other option goes to demo-capture unchanged (--from, --to, --preset,
# --media, ...) and is checked by it before anything is submitted.
# FARM_SBATCH_ARGS adds options to both sbatch calls (a partition, an
# account, a time limit).
set -euo pipefail

usage() { sed -n '6,21s/^# \{0,1\}//p' "$0"; }
fail() {
  echo "farm-capture: $*" >&2
  exit 2
}
# A name as the messages show it: control characters as \xNN, on one line.
shown() {
  local out="" c i
  for ((i = 0; i < ${#1}; i++)); do
    c=${1:i:1}
    [[ "$c" == [[:cntrl:]] ]] && printf -v c '\\x%02x' "'$c"
    out+=$c
  done
  printf '%s' "$out"
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

[[ "$segments" =~ ^[1-9][0-9]{0,3}$|^10000$ ]] ||
  fail "bad value for --segments: \"$(shown "$segments")\" (a whole number, 1 to 10000)"
[ -n "$video" ] || fail "no --video OUT"
[ -z "$cpus" ] || [[ "$cpus" =~ ^[1-9][0-9]{0,3}$ ]] ||
  fail "bad value for --cpus: \"$(shown "$cpus")\" (a whole number)"
[ -x "$capture" ] || fail "cannot run the capture program \"$(shown "$capture")\""
command -v sbatch >/dev/null || fail "sbatch is not installed (Debian package: slurm-client)"

# The tasks may start in another folder: every path they use is absolute.
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac }
video=$(absolute "$video")
parts=$(absolute "${parts:-$video.parts}")
capture=$(absolute "$capture")
logs="$video.logs"
for path in "$video" "$parts"; do
  [[ "$path" != *[[:cntrl:]]* ]] || fail "cannot use \"$(shown "$path")\": it holds a control character"
done
# Slurm reads a log's name as a pattern: % starts a replacement (a literal
# one is written %%), and a backslash turns them all off, which would have
# every task write the same log.
[[ "$logs" != *\\* ]] ||
  fail "cannot write the logs to \"$logs\": Slurm takes a backslash in a log's name as a switch"
slurm_logs=${logs//%/%%}
# The join empties the parts' folder by name once the video is in place:
# the video goes elsewhere.
[ "$(realpath -m -- "$parts")" != "$(realpath -m -- "$(dirname "$video")")" ] ||
  fail "the parts folder \"$parts\" would hold the video \"$video\": give the parts a folder of their own"

# The capture's own option table checks what the tasks and the join will be
# given, so that a typo fails here instead of in every task.
checked() {
  local said
  said=$("$capture" --check "$@" 2>&1 >/dev/null) && return 0
  fail "$(printf '%s\n' "$said" | head -n 1)"
}
checked --segment "1/$segments" --parts "$parts" --video "$video" "${pass[@]}"
checked --join "$parts" --remove-parts --video "$video" "${pass[@]}"
mkdir -p "$parts" "$logs"

quoted() { printf '%q ' "$@"; }
common=$(quoted --video "$video" "${pass[@]}")
threads=${cpus:+export LP_NUM_THREADS=$cpus}
read -ra extra <<<"${FARM_SBATCH_ARGS:-}"

# sbatch reads the job script from stdin; bash runs it, so %q quoting holds.
array=$(sbatch --parsable --job-name=capture-parts --array="1-$segments" \
  ${cpus:+--cpus-per-task="$cpus"} --output="$slurm_logs/part-%a.out" "${extra[@]}" <<EOF
#!/usr/bin/env bash
$threads
exec $(quoted "$capture") --segment "\$SLURM_ARRAY_TASK_ID/$segments" --parts $(quoted "$parts") $common
EOF
) || fail "sbatch refused the parts' job"
array=${array%%;*}

# The join keeps the parts when it fails; once the video is in place it
# removes the parts and records it joined, then their folder if nothing
# else is left in it.
join_script=$(
  cat <<EOF
#!/usr/bin/env bash
exec $(quoted "$capture") --join $(quoted "$parts") --remove-parts $common
EOF
)
echo "farm-capture: parts as job $array (tasks 1-$segments), logs in $logs"
waiting=()
[ "$wait" = 0 ] || waiting=(--wait)
# Under --wait sbatch returns the join's own status, and 0 for a join that
# Slurm cancelled because a part failed: what counts is asked below.
join=$(sbatch --parsable --job-name=capture-join --dependency="afterok:$array" \
  --kill-on-invalid-dep=yes --output="$slurm_logs/join.out" "${waiting[@]}" "${extra[@]}" \
  <<<"$join_script") || true
join=${join%%;*}
[[ "$join" =~ ^[0-9]+$ ]] || fail "sbatch refused the join's job"
echo "farm-capture: join as job $join, into $video"
[ "$wait" = 1 ] || exit 0

# The job's state from the controller, or from the accounting once the
# controller has forgotten the job.
job_state() {
  local state
  state=$(scontrol show job -o "$1" 2>/dev/null | sed -n '1s/.*JobState=\([A-Z_]*\).*/\1/p') || true
  [ -n "$state" ] || state=$(sacct -n -X -P -j "$1" -o State 2>/dev/null | sed -n '1s/ .*//p') || true
  echo "${state:-UNKNOWN}"
}
state=$(job_state "$join")
if [ "$state" != COMPLETED ]; then
  echo "farm-capture: no video: the join job $join ended $state (the logs in $logs say why)" >&2
  exit 1
fi
if [ ! -f "$video" ]; then
  echo "farm-capture: the join job $join completed, but \"$video\" is not there" >&2
  exit 1
fi
echo "farm-capture: done: $video"
