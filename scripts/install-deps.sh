#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, with
# apt-get: directly as root, through password-less sudo otherwise; when
# neither is possible it prints the exact command to run and exits 1.
# Package names on the command line are installed instead of the list
# (make farm-check asks for the batch scheduler this way); --windows installs
# only what the Windows build and its tests need.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev libx11-dev
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libpng-dev zlib1g-dev libjpeg-dev libvorbis-dev libfreetype-dev fonts-dejavu-core fonts-dotgothic16 fonts-ferrite-core fonts-bebas-neue
  xvfb xauth ffmpeg
  # The studio's timeline panel (Dear ImGui; its pkg-config file requires stb's).
  libimgui-dev libstb-dev
  # The web page (make web) and its test in a headless browser.
  emscripten chromium python3
  # Tests: GoogleTest, clang with its fuzzer runtime (only recommended by clang), and
  # clang-format for the layout check.
  libgtest-dev clang libclang-rt-dev clang-format
  # The GLSL programs checked against the language standard.
  glslang-tools
  # The studio test moves the mouse through the X server.
  xdotool
  # The release test checks the package with Debian's own checker.
  lintian
)
# The Windows build (make windows): the cross compiler, the tools that fetch
# and build its libraries from Debian's sources, zlib for it, and Wine for its tests.
windows_packages=(mingw-w64 libz-mingw-w64-dev dpkg-dev nasm zip unzip wine wine64)
packages+=("${windows_packages[@]}")

if [ "${1:-}" = --windows ]; then
  packages=("${windows_packages[@]}")
elif [ $# -gt 0 ]; then
  packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The browser test fetches axe-core with npm; a machine whose Node.js
# already brings npm (another vendor's build) keeps it.
if [ $# -eq 0 ] && ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

# Root installs directly; a user with password-less sudo (as on most CI
# runners) installs through it; anyone else is told the command.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    as_root=(sudo -n)
  else
    echo "missing packages; run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi

echo "installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
