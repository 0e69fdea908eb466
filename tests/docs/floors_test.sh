#!/usr/bin/env bash
# The floor check on a copy of the source folders: it passes as they are, and
# fails, naming the file, once one forbidden include is planted.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
folders=(platform gpu imaging presentation tools bench scripts)

failures=0
# plant FILE INCLUDE: the check on a fresh copy with `#include "INCLUDE"` added to FILE.
plant() {
  local file=$1 include=$2 copy="$work/tree" output
  rm -rf -- "$copy" && mkdir "$copy"
  (cd "$source_dir" && cp -R "${folders[@]}" "$copy/")
  printf '#include "%s"\n' "$include" >>"$copy/$file"
  if output=$(bash "$copy/scripts/check-floors.sh" 2>&1); then
    echo "FAIL: $file including $include passed the check"
    failures=$((failures + 1))
  elif ! grep -q "$file" <<<"$output"; then
    echo "FAIL: $file including $include failed without naming the file:"
    echo "$output"
    failures=$((failures + 1))
  else
    echo "ok: $file including $include: $(head -1 <<<"$output")"
  fi
}

if ! output=$(bash "$source_dir/scripts/check-floors.sh" 2>&1); then
  echo "FAIL: the tree as it is fails the check:"
  echo "$output"
  exit 1
fi

# One program reaching into another, both ways round, and the shared floor or
# the ground floor reaching up.
plant bench/whole_capture.cpp tools/capture/options.h
plant tools/studio/main.cpp tools/capture/sheet.h
plant tools/capture/main.cpp bench/options.h
plant tools/xpm_export.cpp tools/mediagen/raster.h
plant tools/common/numbers.cpp tools/capture/options.h
plant platform/sound.cpp presentation/clock.h
exit $((failures > 0))
