#!/usr/bin/env bash
# Checks that the source folders stack: each room includes only rooms on its
# own floor or below, no two rooms include each other, and no program
# includes another program's sources.
# Rooms: platform/ is the ground floor; gpu/ and imaging/ stand on it,
# presentation/ on them, tools/common/ (what the programs share) on that, and
# on top the programs, each a room of its own: every folder in tools/ but
# common/, the loose files of tools/ together, and bench/. tests/ may include
# anything. Prints each offending include. Usage: check-floors.sh [ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A floor=([platform]=0 [gpu]=1 [imaging]=1 [presentation]=2 [tools/common]=3 [bench]=4
                  [tools]=4)
for dir in tools/*/; do
  dir=${dir%/}
  [[ "$dir" == tools/common ]] || floor[$dir]=4
done
readonly program_floor=4

# The room a path (a source file, or an include's target) belongs to.
room_of() {
  local path=$1 top=${1%%/*}
  if [[ "$top" == tools ]]; then
    local rest=${path#tools/}
    if [[ "$rest" == */* && -n "${floor[tools/${rest%%/*}]:-}" ]]; then
      echo "tools/${rest%%/*}"
      return
    fi
  fi
  echo "$top"
}

# One "from to file:line" row per include of a project folder.
rows=$(grep -rHno '^#include "[a-z_]*/[^"]*"' --include='*.cpp' --include='*.h' \
         platform gpu imaging presentation tools bench |
  while IFS=: read -r file line text; do
    target=${text#\#include \"}
    target=${target%\"}
    echo "$(room_of "$file") $(room_of "$target") $file:$line"
  done)

# The includes from room $from into room $to, one indented line each.
offenders() { awk -v f="$from" -v t="$to" '$1 == f && $2 == t { print "  " $3 }' <<<"$rows"; }

status=0
pairs=$(awk '$1 != $2 { print $1, $2 }' <<<"$rows" | sort -u)
while read -r from to; do
  [[ -z "$from" || -z "${floor[$to]:-}" || -z "${floor[$from]:-}" ]] && continue
  if ((floor[$to] > floor[$from])); then
    echo "$from/ includes $to/, a floor above it:"
    offenders
    status=1
  elif ((floor[$from] == program_floor && floor[$to] == program_floor)); then
    echo "$from/ includes $to/, another program; move what they share to tools/common/:"
    offenders
    status=1
  elif grep -qx "$to $from" <<<"$pairs"; then
    echo "$from/ and $to/ include each other"
    status=1
  fi
done <<<"$pairs"
exit $status
