#!/usr/bin/env bash
# Measures the soundtrack as a listener hears it, with ffmpeg: how far highs
# (above 2.5 kHz) and lows (below 150 Hz) rise over the 0.4 s after each cue
# against the 0.4 s before and against 1.4 to 1.0 s before (mean level, dB);
# for each fade FROM-TO, how far the highs in its last half second rise over
# its first; the longest runs of beats that each start with a kick (an onset
# in the lows on the beat); how far the short-term loudness (3 s windows)
# swings within 20-50, 50-80 and 80-110 s; what each section loses summed to
# mono (L+R on both speakers, integrated loudness, LU); then the integrated
# loudness and the true peak of the whole.
# usage: tests/media/measure-hits.sh [music.ogg [timeline.txt]] [time | from-to ...]
# The default cues, fades and sections come from the timeline (the built-in
# one unless a file is named), read by the project's own reader through
# `demo-capture --print-timeline` (build/demo-capture, or $DEMO_CAPTURE): the
# slow fade-ins of the pictures and of every maker's layer and the moments
# they are whole, the cuts, and the start of every section.
set -euo pipefail
music=${1:-build/media/music.ogg}
shift || true
capture=${DEMO_CAPTURE:-$(dirname "$0")/../../build/demo-capture}
listing=("$capture" --print-timeline)
if [ $# -gt 0 ] && [[ $1 == *.txt ]]; then
  listing+=(--timeline "$1")
  shift
fi
[ -x "$capture" ] || { echo "measure-hits: no \"$capture\" (build demo-capture, or set DEMO_CAPTURE)" >&2; exit 1; }
timeline=$("${listing[@]}") || { echo "measure-hits: ${listing[*]} failed" >&2; exit 1; }
args=("$@")
# Fades "NAME AT RATE in|out WHOLE": the pictures' fade-ins and the fade-ins
# of the maker's layers are measured as swells and hit where they end, then
# the cuts "cut NAME AT".
if [ ${#args[@]} -eq 0 ]; then
  read -r -a args < <(awk '
    $1 == "layer" { layerIn[$5] = 1 }
    NF == 5 && $4 == "in" { n++; name[n] = $1; at[n] = $2; whole[n] = $5 }
    $1 == "cut" { cuts = cuts " " $3 }
    END {
      for (i = 1; i <= n; i++) {
        if (name[i] ~ /^(space|love|starfield|scroller)In$/ || name[i] in layerIn) {
          fades = fades " " at[i] "-" whole[i]; cues = cues " " whole[i]
        }
      }
      print fades cues cuts
    }' <<<"$timeline")
fi
# Sections "section START NAME", their starts in seconds.
read -r -a sections < <(awk '$1 == "section" { print $2 }' <<<"$timeline" | sort -g | tr '\n' ' '
  echo " 129.5")
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
  earlier=$(awk -v t="$a" 'BEGIN {print t - 1.4}')
  printf 'cue  %9s s:' "$a"
  for band in highs:$highs lows:$lows; do
    rise=$(awk -v x="$(level "$a" 0.4 "${band#*:}")" -v y="$(level "$before" 0.4 "${band#*:}")" \
      -v z="$(level "$earlier" 0.4 "${band#*:}")" \
      'BEGIN {printf "%+.1f dB (%+.1f over 1.4-1.0 s before)", x - y, x - z}')
    printf '  %s %s' "${band%%:*}" "$rise"
  done
  echo
done
# Kicks: the lows below 100 Hz in 25 ms frames; a beat (every 0.5 s) starts
# with a kick where the loudest frame on it is above -20 dBFS and 6 dB above
# the quietest of the 0.1 s before. Printed: the five longest runs of such
# beats, in beats, with the time each starts.
ffmpeg -nostdin -hide_banner -v error -i "$music" -af "lowpass=f=100,lowpass=f=100,\
asetnsamples=n=1102:p=0,astats=metadata=1:reset=1,\
ametadata=print:key=lavfi.astats.Overall.RMS_level:file=-" -f null - |
  awk -F'[ =:]+' '/pts_time/ {t = $NF} /RMS_level/ {print t, ($NF ~ /inf/ ? -200 : $NF)}' |
  awk '{ t[n] = $1; v[n] = $2; n++ }
    END {
      i = 0
      for (b = 0; b < t[n - 1]; b += 0.5) {
        while (i < n && t[i] < b - 0.1) i++
        pre = 0; post = -200
        for (j = i; j < n && t[j] < b + 0.07; j++) {
          if (t[j] < b - 0.005 && (pre == 0 || v[j] < pre)) pre = v[j]
          if (t[j] >= b - 0.005 && v[j] > post) post = v[j]
        }
        if (post > -20 && post - pre >= 6) { if (!run) from = b; run++ }
        else if (run) { print run, from; run = 0 }
      }
      if (run) print run, from
    }' | sort -k1,1nr -k2,2n | head -5 |
  awk '{ list = list sprintf("%s%d from %.1f s", NR > 1 ? ", " : "", $1, $2) }
    END { print "kick runs (beats): " list }'
# Short-term loudness: ebur128's S, the last 3 s, every 0.1 s; the span of
# the windows lying wholly within each stretch.
ffmpeg -nostdin -hide_banner -i "$music" -af ebur128 -f null - 2>&1 |
  awk '/Parsed_ebur128/ && / S: / {
      for (i = 1; i <= NF; i++) { if ($i == "t:") t = $(i + 1); if ($i == "S:") s = $(i + 1) }
      print t, s
    }' |
  awk 'BEGIN { split("20 50 80", from); split("50 80 110", to) }
    { t[NR] = $1; s[NR] = $2 }
    END {
      for (k = 1; k <= 3; k++) {
        lo = 1e9; hi = -1e9
        for (i = 1; i <= NR; i++)
          if (t[i] >= from[k] + 3 && t[i] <= to[k]) { lo = s[i] < lo ? s[i] : lo; hi = s[i] > hi ? s[i] : hi }
        printf "short-term %3d-%3d s: %6.1f to %6.1f LUFS, span %.1f LU\n", from[k], to[k], lo, hi, hi - lo
      }
    }'
mono=",pan=stereo|c0=0.5*c0+0.5*c1|c1=0.5*c0+0.5*c1"
for ((i = 0; i + 1 < ${#sections[@]}; i++)); do
  from=${sections[i]} to=${sections[i + 1]}
  awk -v s="$(loudness "$from" "$to" "")" -v m="$(loudness "$from" "$to" "$mono")" \
    -v r="$from-$to" 'BEGIN {printf "section %11s s: %6.1f LUFS, in mono %+.1f LU\n", r, s, m - s}'
done
ffmpeg -nostdin -hide_banner -i "$music" -af ebur128=peak=true -f null - 2>&1 |
  sed -n '/Summary/,$p' | grep -E 'I:|Peak:'
