#!/usr/bin/env bash
# make dist's two artefacts, made into a temporary folder: the archive's files
# and sums, the .deb's control fields and files, and both launchers run from
# elsewhere (with a stand-in player that reports its folder and arguments).
#   dist_test.sh BUILD_DIR SOURCE_DIR VERSION MEDIA_FILE...
set -euo pipefail
build=$1 source=$2 version=$3
shift 3
media=("$@")
out=$(mktemp -d /tmp/dist-test-XXXXXX)
trap 'rm -rf -- "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$source/scripts/make-dist.sh" "$build" "$out" narrowband "$version" "${media[@]}" > /dev/null
stem=narrowband-$version-linux-x86_64
deb=$out/narrowband_${version}_amd64.deb
[ -f "$out/$stem.tar.gz" ] && [ -f "$deb" ] || fail "missing artefacts: $(ls "$out")"
[ -z "$(find "$out" -maxdepth 1 -name '.*' ! -name . )" ] || fail "temporaries left in $out"

# The archive: exactly these files, all listed in SHA256SUMS and matching it.
expected=$( (printf '%s\n' narrowband README.txt SHA256SUMS data/demo
             for m in "${media[@]}"; do echo "data/${m#"$build/media/"}"; done) | LC_ALL=C sort)
listed=$(tar tzf "$out/$stem.tar.gz" | grep -v '/$' | sed "s|^$stem/||" | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "archive holds: $listed"
(cd "$out" && sha256sum --quiet -c "$stem.tar.gz.sha256") || fail "archive sum"
mkdir "$out/unpacked" && tar xzf "$out/$stem.tar.gz" -C "$out/unpacked"
(cd "$out/unpacked/$stem" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS"
[ "$(wc -l < "$out/unpacked/$stem/SHA256SUMS")" -eq $(( ${#media[@]} + 3 )) ] || fail "SHA256SUMS lists"

# The package: its fields, and the runtime packages the README names among its Depends.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "narrowband $version amd64" ] ||
  fail "control: $(field Package) $(field Version) $(field Architecture)"
depends=$(field Depends)
for p in $(sed -n 's/.*apt-get install //p' "$out/unpacked/$stem/README.txt"); do
  [[ ", $depends," == *", $p"[\ ,]* ]] || fail "Depends lacks $p: $depends"
done
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/games/narrowband ./usr/lib/narrowband/demo ./usr/share/applications/narrowband.desktop \
         ./usr/share/icons/hicolor/256x256/apps/narrowband.png ./usr/share/man/man6/narrowband.6.gz \
         ./usr/share/doc/narrowband/changelog.gz ./usr/share/doc/narrowband/copyright \
         "${media[@]/#"$build/media/"/./usr/share/narrowband/}"; do
  grep -qx -- "$f" <<< "$files" || fail "the .deb lacks $f"
done
dpkg-deb -x "$deb" "$out/root"
# Debian's own checks find no error (lintian is installed with the tools).
if command -v lintian > /dev/null; then
  lint=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian: $lint"
fi

# Each launcher, reached through a link from another folder, starts the player
# in the folder of its media with the arguments it was given.
mkdir "$out/bin"
check_launcher() {
  local launcher=$1 data=$2 player=$3
  printf '#!/bin/sh\necho "$PWD $*"\n' > "$player"
  ln -sf "$launcher" "$out/bin/narrowband"
  local got
  got=$(cd / && "$out/bin/narrowband" -x "two words")
  [ "$got" = "$(cd "$data" && pwd -P) -x two words" ] || fail "$launcher ran: $got"
}
check_launcher "$out/unpacked/$stem/narrowband" "$out/unpacked/$stem/data" "$out/unpacked/$stem/data/demo"
check_launcher "$out/root/usr/games/narrowband" "$out/root/usr/share/narrowband" \
  "$out/root/usr/lib/narrowband/demo"
echo "dist artefacts as promised"
