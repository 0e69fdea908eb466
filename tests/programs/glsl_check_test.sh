#!/usr/bin/env bash
# Every program of the presentation and the benchmark passes as GLSL 1.10,
# and the page's as GLSL ES 1.00 with its prelude; and the check does fail:
# without the prelude the page's morph program names what ES lacks, and an
# error is reported at the file's own line.
#   glsl_check_test.sh SOURCE_DIR
set -uo pipefail
src=$1
check=$src/scripts/check-glsl.sh
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
printf '// a comment\nvoid main()\n{\n    gl_FragColor = vec3(1.0);\n}\n' > "$work/broken.frag"

status=0
# Each case: a name, the exit status expected, text the output must hold, the arguments.
run() {
  local name=$1 want=$2 expected=$3
  shift 3
  out=$(bash "$check" "$@" 2>&1)
  code=$?
  if [ $code -ne "$want" ] || [[ $out != *"$expected"* ]]; then
    echo "$name: exit $code, expected $want and \"$expected\":"
    echo "$out"
    status=1
  fi
}
run "desktop programs as GLSL 1.10" 0 "" "$src"/gpu/shaders/* "$src"/bench/reference_shaders/*
run "the page's programs as GLSL ES 1.00" 0 "" --es --prelude "$src/tools/web/prelude.frag" \
  "$src"/gpu/shaders/*
run "ES without the prelude" 1 "morph.frag:" --es "$src/gpu/shaders/morph.frag"
run "ES without the prelude names it" 1 "gl_ModelViewMatrixInverse" --es "$src/gpu/shaders/morph.frag"
run "an error at the file's own line" 1 "$work/broken.frag:4: " "$work/broken.frag"
run "the same line under the prelude" 1 "$work/broken.frag:4: " --es --prelude \
  "$src/tools/web/prelude.frag" "$work/broken.frag"
exit $status
