#!/usr/bin/env bash
# Writes the Windows release zip: one folder STEM/ holding the program, its
# DLLs, README.txt, the media and SHA256SUMS.
#   make-zip.sh OUT.zip STEM narrowband.exe README.txt MEDIA_DIR FILE...
# An absolute FILE (a DLL) goes beside the program; a relative one is read
# from MEDIA_DIR and keeps its folder (2x/logo.jpg stays in 2x/).
# The zip is made under a temporary name beside OUT.zip and renamed into
# place when complete; an existing OUT.zip that is not a regular file is left.
set -euo pipefail

out=$1 stem=$2 exe=$3 readme=$4 media=$5
shift 5
if [ -e "$out" ] && [ ! -f "$out" ]; then
  echo "make-zip: cannot write \"$out\": not a regular file" >&2
  exit 1
fi
work=$(mktemp -d "$(dirname "$out")/.zip-XXXXXX")
trap 'rm -rf -- "$work"' EXIT

root=$work/$stem
mkdir -p "$root"
cp "$exe" "$root/narrowband.exe"
cp "$readme" "$root/README.txt"
for f in "$@"; do
  case "$f" in
    /*) source=$f dest=$root/ ;;
    *) source=$media/$f dest=$root/$f ;;
  esac
  if [ ! -f "$source" ]; then
    echo "make-zip: \"$source\" is missing" >&2
    exit 1
  fi
  case "$dest" in */) ;; *) mkdir -p "$(dirname "$dest")" ;; esac
  cp "$source" "$dest"
done
# Windows has no sha256sum; the lines are the ones it and PowerShell's
# Get-FileHash both print, one per file, CRLF for Notepad.
(cd "$root" && LC_ALL=C find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
  xargs -d '\n' sha256sum | sed 's/$/\r/') > "$work/sums"
mv "$work/sums" "$root/SHA256SUMS"
# Fixed times and order: the same tree gives the same zip.
find "$root" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-1796688000}" {} +
(cd "$work" && LC_ALL=C find "$stem" | LC_ALL=C sort | zip -X -q -9 -@ archive.zip)
mv -f -- "$work/archive.zip" "$out"
