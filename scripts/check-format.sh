#!/usr/bin/env bash
# Checks that every tracked C++ file matches .clang-format; lists the ones that do not.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=${CLANG_FORMAT:-clang-format}
if ! command -v "$formatter" >/dev/null; then
  echo "check-format: $formatter not found (install clang-format)" >&2
  exit 1
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
failing=()
for file in "${files[@]}"; do
  if ! "$formatter" --dry-run -Werror "$file" >/dev/null 2>&1; then failing+=("$file"); fi
done
if ((${#failing[@]})); then
  echo "check-format: ${#failing[@]} of ${#files[@]} files differ from .clang-format" \
       "(fix with: clang-format -i FILE):" >&2
  printf '  %s\n' "${failing[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files match .clang-format"
