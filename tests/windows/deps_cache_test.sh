#!/usr/bin/env bash
# windows-deps.sh replaces only what it made in its cache folder: a folder
# holding someone else's files, or a link, is refused before anything is
# fetched, and what is there stays.
#   deps_cache_test.sh WINDOWS_DEPS_SCRIPT
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/theirs" "$work/theirs/prefix"
echo notes > "$work/theirs/prefix/notes.txt"
ln -s theirs "$work/link"
status=0
for cache in "$work/theirs" "$work/link"; do
  if out=$(bash "$script" "$cache" 2>&1); then
    echo "not refused: $cache"; status=1
  elif [ "$(printf '%s\n' "$out" | wc -l)" -ne 1 ]; then
    echo "more than one line for $cache:"; echo "$out"; status=1
  fi
done
[ -f "$work/theirs/prefix/notes.txt" ] || { echo "the folder's own file was removed"; status=1; }
exit $status
