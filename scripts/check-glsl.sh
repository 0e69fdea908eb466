#!/usr/bin/env bash
# Holds GLSL programs to the language standard with glslangValidator, as a
# driver stricter than Mesa would read them.
#
#   check-glsl.sh FILE...                            as GLSL 1.10
#   check-glsl.sh --es [--prelude PRELUDE] FILE...   as GLSL ES 1.00, as the web page gives them
#
# The stage is the file's ending (.vert or .frag). Desktop GL reads a
# program without a #version line as GLSL 1.10, and the program builder adds
# none, so "#version 110" is put first unless the file has its own. On the
# page, the GL emulation puts a float precision before each fragment program
# (the page's prelude, if named, goes between), and in vertex programs it
# turns gl_Vertex and the fixed matrices into an attribute and uniforms; the
# check does the same. Each error is one line, "FILE:LINE: message", with the
# file's own line numbers (or the prelude's). Exit status 0 when every file
# passes, 1 when one fails, 2 for bad usage.
set -euo pipefail

usage() {
  echo "usage: $0 [--es [--prelude FILE]] FILE..." >&2
  exit 2
}
es=false
prelude=""
while [ $# -gt 0 ]; do
  case "$1" in
    --es) es=true; shift ;;
    --prelude) [ $# -ge 2 ] || usage; prelude=$2; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage
if [ -n "$prelude" ] && ! $es; then
  echo "check-glsl: --prelude belongs to --es" >&2
  exit 2
fi
if ! command -v glslangValidator > /dev/null 2>&1; then
  echo "check-glsl: glslangValidator is missing; run: scripts/install-deps.sh" >&2
  exit 1
fi
for f in "$@" ${prelude:+"$prelude"}; do
  if [ ! -f "$f" ]; then
    echo "check-glsl: cannot read \"$f\": not a regular file" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
status=0
for file in "$@"; do
  case "$file" in
    *.vert) stage=vert ;;
    *.frag) stage=frag ;;
    *)
      echo "$file: neither .vert nor .frag, so of no known stage"
      status=1
      continue
      ;;
  esac
  # What comes before the file's text, and whose lines an error in it names.
  : > "$work/head"
  head_name="" head_from=0
  if $es; then
    echo "#version 100" > "$work/head"
    if [ $stage = frag ]; then
      printf '#ifdef GL_FRAGMENT_PRECISION_HIGH\nprecision highp float;\n#else\nprecision mediump float;\n#endif\n' \
        >> "$work/head"
      if [ -n "$prelude" ]; then
        head_name=$prelude head_from=$(wc -l < "$work/head")
        cat "$prelude" >> "$work/head"
        [ -z "$(tail -c 1 "$prelude")" ] || echo >> "$work/head"
      fi
      cp "$file" "$work/body"
    else
      printf 'attribute vec4 a_position;\nuniform mat4 u_modelView;\nuniform mat4 u_projection;\n' \
        >> "$work/head"
      sed -e 's/gl_ModelViewProjectionMatrix/(u_projection * u_modelView)/g' \
          -e 's/gl_ModelViewMatrix/u_modelView/g' -e 's/gl_ProjectionMatrix/u_projection/g' \
          -e 's/gl_Vertex/a_position/g' "$file" > "$work/body"
    fi
  else
    grep -q '^[[:space:]]*#[[:space:]]*version' "$file" || echo "#version 110" > "$work/head"
    cp "$file" "$work/body"
  fi
  offset=$(wc -l < "$work/head")
  cat "$work/head" "$work/body" > "$work/program.$stage"
  if out=$(glslangValidator "$work/program.$stage" 2>&1); then
    continue
  fi
  status=1
  # "ERROR: 0:LINE: message" back to the file's own lines.
  printf '%s\n' "$out" | awk -v file="$file" -v offset="$offset" -v head_name="$head_name" \
      -v head_from="$head_from" '
    /^(ERROR|WARNING): [0-9]+:[0-9]+:/ {
      split($2, at, ":")
      line = at[2]
      message = $0
      sub(/^(ERROR|WARNING): [0-9]+:[0-9]+: */, "", message)
      if (line > offset) print file ":" (line - offset) ": " message
      else if (head_name != "" && line > head_from) print head_name ":" (line - head_from) ": " message
      else print file ": (in the lines put before it) " message
      found = 1
    }
    END { if (!found) print file ": glslangValidator refused it without naming a line" }'
done
exit $status
