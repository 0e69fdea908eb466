#!/usr/bin/env bash
# Measures the soundtrack as a listener hears it, with ffmpeg: how far highs
# (above 4 kHz) and lows (below 150 Hz) rise over the 0.4 s after each given
# time against the 0.4 s before (mean level, dB), then the integrated
# loudness and the true peak.
# usage: tests/media/measure-hits.sh [music.ogg] [time ...]
set -euo pipefail
music=${1:-build/media/music.ogg}
shift || true
times=("$@")
[ ${#times[@]} -gt 0 ] || times=(55 75 91 105 123.5)
[ -r "$music" ] || { echo "measure-hits: cannot read \"$music\"" >&2; exit 1; }

level() {  # start, filter -> mean dB of 0.4 s
  ffmpeg -nostdin -hide_banner -ss "$1" -t 0.4 -i "$music" -af "$2,volumedetect" -f null - 2>&1 |
    awk '/mean_volume/ {print $5}'
}
for t in "${times[@]}"; do
  before=$(awk -v t="$t" 'BEGIN {print t - 0.4}')
  printf '%6s s:' "$t"
  for band in highs:highpass=f=4000 lows:lowpass=f=150; do
    rise=$(awk -v a="$(level "$t" "${band#*:}")" -v b="$(level "$before" "${band#*:}")" \
      'BEGIN {printf "%+.1f", a - b}')
    printf '  %s %s dB' "${band%%:*}" "$rise"
  done
  echo
done
ffmpeg -nostdin -hide_banner -i "$music" -af ebur128=peak=true -f null - 2>&1 |
  sed -n '/Summary/,$p' | grep -E 'I:|Peak:'
