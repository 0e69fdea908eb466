#!/usr/bin/env bash
# Cross-builds the Windows player's libraries from Debian's own source
# packages into a cache folder that later builds reuse.
#
#   windows-deps.sh CACHE           builds the cache unless it is fresh
#   windows-deps.sh --check CACHE   says whether it is fresh (exit 0) or stale (exit 1)
#
# The sources come through apt-get source with a sources list and state of
# their own, made from the mirror this machine's apt already uses, and are
# unpacked by dpkg-source, which checks every file against the .dsc's
# checksums. Each package is taken at the upstream version of the library
# the Linux build uses (the installed -dev package), preferring the same
# Debian revision. SDL and SDL_mixer (LGPL) become DLLs; libpng,
# libjpeg-turbo, libogg and libvorbis are static, linked into the program or
# into SDL_mixer.dll; zlib is Debian's libz-mingw-w64-dev, static.
# CACHE/prefix holds the result once complete. The record CACHE/.windows-deps
# names the recipe (the versions and this script's checksum) and the SHA-256
# of every file of the prefix: the cache is fresh only while the recipe is
# the same and every file is there unchanged; otherwise it is built again.
set -euo pipefail

check_only=false
if [ "${1:-}" = --check ]; then
  check_only=true
  shift
fi
if [ $# -ne 1 ]; then
  echo "usage: $0 [--check] CACHE" >&2
  exit 2
fi
# The cache is this script's own folder: it removes and replaces what it
# made there (work/, prefix.new/, prefix/), so it refuses a link and a
# folder that holds anything without its record (.windows-deps).
if [ -L "$1" ]; then
  echo "windows-deps: \"$1\" is a link; name the cache folder itself" >&2
  exit 2
fi
if [ -e "$1" ] && [ ! -d "$1" ]; then
  echo "windows-deps: \"$1\" is not a folder" >&2
  exit 2
fi
# A cache made before the record existed is known by its prefix's list of
# versions, which opens with the zlib line this script writes.
made_here() {
  [ -f "$1/.windows-deps" ] ||
    head -n 1 "$1/prefix/versions.txt" 2>/dev/null | grep -q '^zlib libz-mingw-w64-dev '
}
if [ -d "$1" ] && [ -n "$(ls -A "$1")" ] && ! made_here "$1"; then
  echo "windows-deps: \"$1\" holds files this script did not make; name an empty or new folder" >&2
  exit 2
fi

# Source package and installed version behind each Linux -dev package.
dev_packages=(libsdl1.2-dev libsdl-mixer1.2-dev libpng-dev libjpeg62-turbo-dev libogg-dev
              libvorbis-dev)
declare -A wanted
for dev in "${dev_packages[@]}"; do
  line=$(dpkg-query -W -f='${source:Package} ${source:Version}' "$dev" 2>/dev/null) || {
    echo "windows-deps: $dev is not installed; the Windows libraries follow its version" >&2
    exit 1
  }
  wanted[${line% *}]=${line#* }
done
# What the cache is built from: the versions and this script itself.
recipe=$( (for s in "${!wanted[@]}"; do echo "$s ${wanted[$s]}"; done | sort
           sha256sum "$0" | cut -d' ' -f1) )

# Fresh: the record has this recipe and lists files, each of which is a
# regular file under prefix/ with its recorded checksum. Sets `stale` to why not.
record_header="made by scripts/windows-deps.sh; its work/, prefix.new/ and prefix/ are replaced on rebuild"
is_fresh() {
  local cache=$1 record=$1/.windows-deps sum path listed=0
  if [ ! -d "$cache/prefix" ] || [ -L "$cache/prefix" ]; then
    stale="no prefix/"
    return 1
  fi
  if [ "$(awk '/^files$/ { exit } listed { print } /^recipe$/ { listed = 1 }' "$record" 2>/dev/null)" \
       != "$recipe" ]; then
    stale="built from another recipe"
    return 1
  fi
  while read -r sum path; do
    listed=$((listed + 1))
    if [ ! -f "$cache/$path" ] || [ -L "$cache/$path" ]; then
      stale="$path is missing"
      return 1
    fi
    if [ "$(sha256sum < "$cache/$path" | cut -d' ' -f1)" != "$sum" ]; then
      stale="$path has changed"
      return 1
    fi
  done < <(awk 'listed { print } /^files$/ { listed = 1 }' "$record")
  if [ $listed -eq 0 ]; then
    stale="the record lists no files"
    return 1
  fi
}

stale=""
if $check_only; then
  if is_fresh "$1"; then
    echo "windows-deps: \"$1\" is fresh"
    exit 0
  fi
  echo "windows-deps: \"$1\" is stale: $stale"
  exit 1
fi
cache=$(mkdir -p "$1" && cd "$1" && pwd)
if is_fresh "$cache"; then
  exit 0
fi
echo "windows-deps: building the cache in \"$cache\" ($stale)"
# A new folder is claimed by a record without a recipe while it is built;
# the complete record replaces it once the new prefix is in place.
[ -f "$cache/.windows-deps" ] || echo "$record_header" > "$cache/.windows-deps"
here=$(cd "$(dirname "$0")/.." && pwd)
host=x86_64-w64-mingw32
jobs=${JOBS:-2}

for tool in $host-gcc $host-g++ dpkg-source apt-get nasm; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "windows-deps: $tool is missing; run: scripts/install-deps.sh --windows" >&2
    exit 1
  fi
done
if [ ! -f /usr/$host/lib/libz.a ]; then
  echo "windows-deps: /usr/$host/lib/libz.a is missing; run: scripts/install-deps.sh --windows" >&2
  exit 1
fi

work="$cache/work"
rm -rf "$work" "$cache/prefix.new"
mkdir -p "$work"
trap 'rm -rf "$work" "$cache/prefix.new"' EXIT
prefix="$cache/prefix.new"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin"

# A private apt: deb-src entries for the mirror and suites of the system's
# own deb entries, with the same keyrings; lists and downloads stay here.
aptdir="$work/apt"
mkdir -p "$aptdir/etc/sources.list.d" "$aptdir/etc/preferences.d" "$aptdir/etc/apt.conf.d" \
         "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
touch "$aptdir/status"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk '/^Types:/ { if ($0 ~ /(^|[ \t])deb([ \t]|$)/) print "Types: deb-src"; else print "Types: none"; next }
       { print }' "$f" | awk 'BEGIN { RS = ""; ORS = "\n\n" } !/Types: none/' \
    > "$aptdir/etc/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$aptdir/etc/sources.list.d/system.list"
done
if ! grep -qs -e '^Types: deb-src' -e '^deb-src' "$aptdir"/etc/sources.list.d/*; then
  echo "windows-deps: no deb entry in /etc/apt's sources to take the mirror from" >&2
  exit 1
fi
apt_options=(-o "Dir::Etc=$aptdir/etc" -o "Dir::Etc::sourcelist=/dev/null"
             -o "Dir::Etc::sourceparts=$aptdir/etc/sources.list.d"
             -o "Dir::State=$aptdir" -o "Dir::State::lists=$aptdir/lists"
             -o "Dir::State::status=$aptdir/status" -o "Dir::Cache=$aptdir/cache"
             -o "APT::Get::AllowUnauthenticated=false" -o "Acquire::AllowInsecureRepositories=false"
             -o "APT::Sandbox::User=root")
echo "windows-deps: reading the source lists"
apt-get "${apt_options[@]}" -qq update

# The Debian revisions to try, in order: the installed one, then the others
# of the same upstream version, newest first (a mirror drops a revision
# once a later one replaces it, and may not serve every one it lists).
upstream_of() { local v=${1#*:}; echo "${v%-*}"; }
candidates() {
  local source=$1 installed=$2
  echo "$installed"
  apt-cache "${apt_options[@]}" showsrc "$source" 2>/dev/null | sed -n 's/^Version: //p' |
    while read -r v; do
      [ "$v" != "$installed" ] && [ "$(upstream_of "$v")" = "$(upstream_of "$installed")" ] && echo "$v"
    done | sort -u | sort -r -V
}

mkdir -p "$work/src"
declare -A dirs
versions_file="$work/versions"
: > "$versions_file"
for source in "${!wanted[@]}"; do
  dsc=""
  for version in $(candidates "$source" "${wanted[$source]}"); do
    echo "windows-deps: fetching $source $version"
    (cd "$work/src" && apt-get "${apt_options[@]}" -qq source --download-only "$source=$version" \
       > "$work/src/$source.fetch.log" 2>&1) || true
    if [ -f "$work/src/${source}_${version#*:}.dsc" ] &&
       ! grep -q '^E:' "$work/src/$source.fetch.log"; then
      dsc="$work/src/${source}_${version#*:}.dsc"
      break
    fi
    echo "windows-deps: the mirror does not serve $source $version; trying the next revision"
  done
  if [ -z "$dsc" ]; then
    echo "windows-deps: the mirror has no complete source of $source at upstream version $(upstream_of "${wanted[$source]}")" >&2
    exit 1
  fi
  # Every file against the .dsc's SHA-256 (a weak checksum alone is refused).
  dir="$work/src/$source"
  if ! dpkg-source --require-strong-checksums -x "$dsc" "$dir" > "$work/src/$source.log" 2>&1; then
    echo "windows-deps: $dsc failed its checks:" >&2
    cat "$work/src/$source.log" >&2
    exit 1
  fi
  dirs[$source]=$dir
  echo "$source $version" >> "$versions_file"
done

export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
build_flags="-O2"
configure_args=(--host=$host --prefix="$prefix" --disable-dependency-tracking
                CFLAGS="$build_flags" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib")
quiet() {
  local log="$work/$1.log"; shift
  if ! "$@" > "$log" 2>&1; then
    echo "windows-deps: failed: $*" >&2
    tail -40 "$log" >&2
    exit 1
  fi
}

echo "windows-deps: building libogg"
cd "${dirs[libogg]}"
quiet ogg ./configure "${configure_args[@]}" --disable-shared --enable-static
quiet ogg make -j"$jobs" -C src install
quiet ogg make -C include install
quiet ogg make install-pkgconfigDATA

echo "windows-deps: building libvorbis"
cd "${dirs[libvorbis]}"
quiet vorbis ./configure "${configure_args[@]}" --disable-shared --enable-static --disable-docs \
  --disable-examples --disable-oggtest
quiet vorbis make -j"$jobs" -C lib install
quiet vorbis make -C include install
quiet vorbis make install-pkgconfigDATA

echo "windows-deps: building libpng"
cd "${dirs[libpng1.6]}"
quiet png ./configure "${configure_args[@]}" --disable-shared --enable-static --disable-tools
quiet png make -j"$jobs" libpng16.la
quiet png make install-libLTLIBRARIES install-nodist_pkgincludeHEADERS install-pkgincludeHEADERS \
  install-pkgconfigDATA install-data-hook
cp pnglibconf.h "$prefix/include/libpng16/" 2>/dev/null || true

echo "windows-deps: building libjpeg-turbo"
mkdir -p "$work/jpeg" && cd "$work/jpeg"
quiet jpeg cmake "${dirs[libjpeg-turbo]}" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF \
  -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DCMAKE_C_FLAGS="$build_flags"
quiet jpeg cmake --build . -j"$jobs" --target jpeg-static
cp libjpeg.a "$prefix/lib/"
cp jconfig.h "${dirs[libjpeg-turbo]}"/{jpeglib.h,jmorecfg.h,jerror.h} "$prefix/include/"

echo "windows-deps: building SDL"
cd "${dirs[libsdl1.2]}"
quiet sdl ./configure "${configure_args[@]}" --enable-shared --disable-static --disable-rpath \
  --disable-assembly
quiet sdl make -j"$jobs"
quiet sdl make install-bin install-hdrs install-lib install-data

echo "windows-deps: building SDL_mixer"
cd "${dirs[sdl-mixer1.2]}"
quiet mixer ./configure "${configure_args[@]}" --enable-shared --disable-static \
  --with-sdl-prefix="$prefix" --disable-sdltest --disable-music-mod --disable-music-midi \
  --disable-music-flac --disable-music-mp3 --disable-smpegtest --enable-music-ogg \
  --disable-music-ogg-shared LIBS="-lvorbisfile -lvorbis -logg"
quiet mixer make -j"$jobs" build/libSDL_mixer.la
quiet mixer make install-hdrs install-lib

# No libtool archives: the program links the import libraries directly.
rm -f "$prefix"/lib/*.la
{
  echo "zlib libz-mingw-w64-dev $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
  cat "$versions_file"
} > "$prefix/versions.txt"
{
  echo "$record_header"
  echo recipe
  echo "$recipe"
  echo files
  (cd "$prefix" && LC_ALL=C find . -type f | LC_ALL=C sort | xargs -r -d '\n' sha256sum |
     sed 's#  \./#  prefix/#')
} > "$work/record"
# The finished prefix replaces the old one by rename; only then is the old
# one, which this script made, removed. Until the new record is in place the
# old one no longer matches the files, so a stop in between leaves it stale.
if [ -d "$cache/prefix" ] && [ ! -L "$cache/prefix" ]; then
  mv "$cache/prefix" "$work/prefix.old"
fi
mv "$prefix" "$cache/prefix"
mv -f "$work/record" "$cache/.windows-deps"
echo "windows-deps: libraries ready in $cache/prefix"
