#!/usr/bin/env bash
# Builds the cursor XPM fuzz target with clang's libFuzzer, ASan and UBSan,
# and runs it for SECONDS from a small seed corpus.
# Usage: run_fuzz.sh SECONDS [BUILD_DIR]   (BUILD_DIR defaults to build-fuzz)
set -euo pipefail

seconds=${1:?usage: run_fuzz.sh SECONDS [BUILD_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${2:-$root/build-fuzz}
work=$build/fuzz_xpm
binary=$work/fuzz_xpm
mkdir -p "$work/corpus"

sources=("$here/fuzz_xpm.cpp" "$root/imaging/xpm.cpp" "$root/platform/output_file.cpp"
         "$root/platform/regular_file.cpp" "$root/platform/regular_file_read.cpp")
stale=0
[[ -x $binary ]] || stale=1
for s in "${sources[@]}" "$root/imaging/xpm.h"; do
  [[ $s -nt $binary ]] && stale=1
done
if (( stale )); then
  # shellcheck disable=SC2046  # pkg-config prints several words on purpose
  clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I"$root" "${sources[@]}" \
    $(pkg-config --cflags --libs sdl SDL_image) -o "$binary"
fi

for seed in "$here"/xpm_seeds/*; do
  [[ -e $work/corpus/${seed##*/} ]] || cp "$seed" "$work/corpus/"
done
# SDL's dummy driver needs no display; ASan's leak check stays on.
SDL_VIDEODRIVER=dummy "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus"
