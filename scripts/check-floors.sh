#!/usr/bin/env bash
# Checks that the source folders stack: a folder includes only folders on
# its own floor or below, and no two folders include each other.
# platform/ is the ground floor; gpu/ and imaging/ stand on it, presentation/
# on them, tools/ and bench/ on top. Prints each offending include.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A floor=([platform]=0 [gpu]=1 [imaging]=1 [presentation]=2 [tools]=3 [bench]=3)
status=0
pairs=$(grep -rHo '^#include "[a-z_]*/' --include='*.cpp' --include='*.h' "${!floor[@]}" |
  sed -E 's|^([a-z_]+)/[^:]*:#include "([a-z_]+)/$|\1 \2|' | sort -u)
while read -r from to; do
  [[ -z "$from" || "$from" == "$to" || -z "${floor[$to]:-}" ]] && continue
  if ((floor[$to] > floor[$from])); then
    echo "$from/ includes $to/, a floor above it:"
    grep -rn "^#include \"$to/" --include='*.cpp' --include='*.h' "$from" | sed 's/^/  /'
    status=1
  elif grep -qx "$to $from" <<<"$pairs"; then
    echo "$from/ and $to/ include each other"
    status=1
  fi
done <<<"$pairs"
exit $status
