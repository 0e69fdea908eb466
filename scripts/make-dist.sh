#!/usr/bin/env bash
# Writes the release archive and the Debian package of a built tree:
#   make-dist.sh BUILD_DIR OUT_DIR NAME VERSION MEDIA_FILE...
# A media file in a folder of BUILD_DIR/media (the large pictures) keeps that
# folder in the archive.
# Both are made in a hidden folder inside OUT_DIR and renamed into place when
# complete; an existing target that is not a regular file is left alone.
set -euo pipefail

build=$1 out=$2 name=$3 version=$4
shift 4
cpack=${CPACK:-cpack}

mkdir -p "$out"
work=$(mktemp -d "$out/.dist-XXXXXX")
trap 'rm -rf -- "$work"' EXIT

place() {
  if [ -e "$2" ] && [ ! -f "$2" ]; then
    echo "make-dist: cannot write \"$2\": not a regular file" >&2
    exit 1
  fi
  mv -f -- "$1" "$2"
}

# The archive: a launcher and a README at the top, the player and its media in data/.
stem=$name-$version-linux-x86_64
root=$work/$stem
mkdir -p "$root/data"
install -m 0755 "$build/package/archive/narrowband" "$root/$name"
install -m 0644 "$build/package/archive/README.txt" "$root/README.txt"
install -m 0755 -s "$build/demo" "$root/data/demo"
for file in "$@"; do
  relative=${file#"$build/media/"}
  [ "$relative" = "$file" ] && relative=${file##*/}
  install -D -m 0644 "$file" "$root/data/$relative"
done
(cd "$root" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
# Fixed owners, order and times: the same tree gives the same archive.
tar -C "$work" --sort=name --owner=0 --group=0 --numeric-owner \
  --mtime="@${SOURCE_DATE_EPOCH:-$(stat -c %Y "$build/demo")}" -cf - "$stem" |
  gzip -9n > "$work/archive.tar.gz"
(cd "$work" && sha256sum archive.tar.gz | sed "s/archive\.tar\.gz/$stem.tar.gz/") > "$work/archive.sha256"

# The Debian package, through the CPack configuration of the build.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "make-dist: cpack could not make the Debian package" >&2
  exit 1
fi
deb=$(find "$work/deb" -maxdepth 1 -name '*.deb')

place "$work/archive.tar.gz" "$out/$stem.tar.gz"
place "$work/archive.sha256" "$out/$stem.tar.gz.sha256"
place "$deb" "$out/${deb##*/}"
echo "wrote $out/$stem.tar.gz and $out/${deb##*/}"
