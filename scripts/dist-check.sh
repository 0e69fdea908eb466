#!/usr/bin/env bash
# The Debian package in a clean Debian root (debootstrap --variant=minbase):
# installed with apt-get, played under Xvfb through the launcher on the PATH
# until Esc (exit 0), purged; then no file of it may be left.
#   dist-check.sh DIST_DIR
# Needs root, debootstrap and the network. The root lives in /var/tmp and is
# removed afterwards; downloaded packages stay in /var/cache/narrowband-dist-check.
set -euo pipefail

dist=$1
deb=$(find "$dist" -maxdepth 1 -name '*_amd64.deb' | head -1)
[ -n "$deb" ] || { echo "dist-check: no .deb in $dist (run make dist)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "dist-check: needs root (debootstrap, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "dist-check: needs debootstrap (apt-get install debootstrap)" >&2; exit 1; }

suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=/var/cache/narrowband-dist-check
root=$(mktemp -d /var/tmp/narrowband-root-XXXXXX)
mkdir -p "$cache"

cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -f -- "$root.log" "$root.apt" "$root.before" "$root.after"
  # Only a root with nothing mounted in it is removed, and never across file systems.
  if ! grep -q " $root/" /proc/mounts; then rm -rf --one-file-system -- "$root"; fi
}
trap cleanup EXIT
step() { echo "dist-check: $*"; }
in_root() { chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/games HOME=/root \
  DEBIAN_FRONTEND=noninteractive "$@"; }
# The root's apt runs as root: its sandbox user cannot read the files handed in.
apt() {
  in_root apt-get -o APT::Sandbox::User=root -y -qq "$@" > "$root.apt" 2>&1 ||
    { cat "$root.apt" >&2; echo "dist-check: apt-get $* failed" >&2; return 1; }
}

step "debootstrap --variant=minbase $suite"
debootstrap --variant=minbase --cache-dir="$cache" "$suite" "$root" "$mirror" > "$root.log" 2>&1 ||
  { tail -5 "$root.log" >&2; exit 1; }
mount -t proc proc "$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf"
apt update
# The X server and a key sender are the test's, installed before the snapshot.
apt install --no-install-recommends xvfb xauth xdotool > /dev/null

# Homes are left out: what a run leaves there (Mesa's shader cache) is the
# user's, and no package removal touches it.
snapshot() {
  (cd "$root" && find . -xdev \( -path ./proc -o -path ./tmp -o -path ./root -o -path ./home \
     -o -path ./var/cache -o -path ./var/log \
     -o -path ./var/lib/apt -o -path ./var/lib/dpkg \) -prune -o -print | LC_ALL=C sort)
}
snapshot > "$root.before"

cp "$deb" "$root/tmp/"
step "apt-get install ./$(basename "$deb")"
apt install --no-install-recommends "/tmp/$(basename "$deb")" > /dev/null
in_root dpkg -s narrowband | grep -E '^(Version|Depends):'
in_root test -x /usr/games/narrowband
in_root test -f /usr/share/applications/narrowband.desktop
in_root test -f /usr/share/icons/hicolor/256x256/apps/narrowband.png

step "play under Xvfb from / and end it with Esc"
status=$(in_root sh -c '
  # A display number of its own: the chroot shares the abstract X sockets of the host.
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -noreset -nolisten tcp >/tmp/display 2>/tmp/xvfb.err &
  xvfb=$!
  for i in $(seq 100); do [ -s /tmp/display ] && break; sleep 0.1; done
  export DISPLAY=:$(cat /tmp/display) SDL_AUDIODRIVER=dummy
  cd / && narrowband 2>/tmp/player.err &
  player=$!
  # SDL also makes a small unmapped window of the same class: the shown one is wanted.
  window=$(timeout 60 xdotool search --sync --onlyvisible --class demo | head -1)
  geometry=$(xdotool getwindowgeometry "$window" | sed -n "s/.*Geometry: //p")
  sleep 2
  start=$(date +%s)
  xdotool key --window "$window" Escape 2>/dev/null
  wait $player; code=$?
  kill -0 $xvfb 2>/dev/null || echo "Xvfb ended early: $(cat /tmp/xvfb.err)"
  kill $xvfb
  echo "window $geometry, exit $code after $(( $(date +%s) - start )) s, stderr: $(cat /tmp/player.err)"')
step "$status"
case "$status" in "window 960x89, exit 0 after "[0-5]" s, stderr: ") ;; *) echo "dist-check: FAILED: the player did not run and end cleanly" >&2; exit 1 ;; esac

step "apt-get purge narrowband, autoremove"
apt purge narrowband > /dev/null
apt autoremove --purge > /dev/null
snapshot > "$root.after"
left=$(diff "$root.before" "$root.after" || true)
if [ -n "$left" ]; then
  echo "dist-check: FAILED: left behind after removal:" >&2
  echo "$left" >&2
  exit 1
fi
step "passed: installed, played, ended with Esc (exit 0), removed without a trace"
