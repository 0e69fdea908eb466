#!/usr/bin/env bash
# Measures the soundtrack as a listener hears it, with ffmpeg: how far highs
# (above 2.5 kHz) and lows (below 150 Hz) rise over the 0.4 s after each cue
# against the 0.4 s before (mean level, dB); for each fade FROM-TO, how far
# the highs in its last half second rise over its first; what each section
# loses summed to mono (L+R on both speakers, integrated loudness, LU); then
# the integrated loudness and the true peak of the whole.
# usage: tests/media/measure-hits.sh [music.ogg] [time | from-to ...]
# The default cues and fades are the picture's fade ends and cuts and the
# slow fades of presentation/timeline.h; sections start at its kSections.
set -euo pipefail
music=${1:-build/media/music.ogg}
shift || true
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(55-57 75-80 91-96 105-110 57 80 96 110 120 123.5)
sections=(0 9 20 30 55 65 68 75 85 91 105 120 123.5 129.5)
[ -r "$music" ] || { echo "measure-hits: cannot read \"$music\"" >&2; exit 1; }

level() {  # start, length, filter -> mean dB
  ffmpeg -nostdin -hide_banner -ss "$1" -t "$2" -i "$music" -af "$3,volumedetect" -f null - 2>&1 |
    awk '/mean_volume/ {print $5}'
}
loudness() {  # start, end, extra filter -> integrated LUFS
  ffmpeg -nostdin -hide_banner -i "$music" \
    -af "atrim=$1:$2,asetpts=PTS-STARTPTS$3,ebur128" -f null - 2>&1 |
    sed -n '/Summary/,$p' | awk '$1 == "I:" {print $2}'
}
highs=highpass=f=2500
lows=lowpass=f=150
for a in "${args[@]}"; do
  if [[ $a == *-* ]]; then
    from=${a%-*} to=${a#*-}
    late=$(awk -v t="$to" 'BEGIN {print t - 0.5}')
    awk -v a="$(level "$late" 0.5 $highs)" -v b="$(level "$from" 0.5 $highs)" -v r="$a" \
      'BEGIN {printf "fade %9s s:  highs in its last 0.5 s %+.1f dB over its first\n", r, a - b}'
    continue
  fi
  before=$(awk -v t="$a" 'BEGIN {print t - 0.4}')
  printf 'cue  %9s s:' "$a"
  for band in highs:$highs lows:$lows; do
    rise=$(awk -v x="$(level "$a" 0.4 "${band#*:}")" -v y="$(level "$before" 0.4 "${band#*:}")" \
      'BEGIN {printf "%+.1f", x - y}')
    printf '  %s %s dB' "${band%%:*}" "$rise"
  done
  echo
done
mono=",pan=stereo|c0=0.5*c0+0.5*c1|c1=0.5*c0+0.5*c1"
for ((i = 0; i + 1 < ${#sections[@]}; i++)); do
  from=${sections[i]} to=${sections[i + 1]}
  awk -v s="$(loudness "$from" "$to" "")" -v m="$(loudness "$from" "$to" "$mono")" \
    -v r="$from-$to" 'BEGIN {printf "section %11s s: %6.1f LUFS, in mono %+.1f LU\n", r, s, m - s}'
done
ffmpeg -nostdin -hide_banner -i "$music" -af ebur128=peak=true -f null - 2>&1 |
  sed -n '/Summary/,$p' | grep -E 'I:|Peak:'
