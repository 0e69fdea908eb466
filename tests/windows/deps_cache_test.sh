#!/usr/bin/env bash
# windows-deps.sh replaces only what it made in its cache folder: a folder
# holding someone else's files, or a link, is refused before anything is
# fetched, and what is there stays. A copy of the built cache is fresh, and
# stale once a file of it is missing or changed or its record is the old
# kind (with no list of files).
#   deps_cache_test.sh WINDOWS_DEPS_SCRIPT BUILT_CACHE
set -euo pipefail
script=$1 built=$2
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

if [ ! -f "$built/.windows-deps" ]; then
  echo "skipped the freshness cases: no cache in $built (make windows builds it)"
  exit $status
fi
# Each case: a name, a change to a fresh copy, and the --check line expected.
cases=(
  "unchanged|:|is fresh"
  "a library deleted|rm prefix/lib/libpng16.a|stale: prefix/lib/libpng16.a is missing"
  "a DLL changed|printf x >> prefix/bin/SDL.dll|stale: prefix/bin/SDL.dll has changed"
  "a header swapped for a link|ln -sf SDL.h prefix/include/SDL/SDL_video.h|is missing"
  "the record without its files|sed -i '/^files\$/,\$d' .windows-deps|the record lists no files"
  "the prefix gone|rm -r prefix|stale: no prefix/"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name change expected <<< "$c"
  copy="$work/cache"
  rm -rf -- "$copy"
  mkdir "$copy"
  cp -a "$built/.windows-deps" "$built/prefix" "$copy/"
  (cd "$copy" && eval "$change")
  out=$(bash "$script" --check "$copy" 2>&1) && code=0 || code=$?
  want=1
  [ "$expected" = "is fresh" ] && want=0
  if [ $code -ne $want ] || [[ $out != *"$expected"* ]] || [ "$(printf '%s\n' "$out" | wc -l)" -ne 1 ]; then
    echo "$name: exit $code, \"$out\"; expected exit $want and \"$expected\""
    status=1
  fi
done
exit $status
