#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages. Idempotent and
# non-interactive; runs as root (or through sudo when it is there).
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # cross compilers (posix thread model), resources, zlib for id3lib: 32-bit for the program
  # users get, 64-bit for the build the tests run
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev libz-mingw-w64-dev
  # building the dependencies from Debian's source packages
  cmake make dpkg-dev autoconf automake libtool pkg-config patch xz-utils bzip2
  googletest
  # running and testing under 64-bit Wine on a private X display
  wine wine64 xvfb x11-utils imagemagick
  # test media and theme artwork
  sox lame vorbis-tools flac opus-tools librsvg2-bin icoutils python3 fonts-dejavu-core
)

missing=()

# apt-get source needs deb-src entries; add them beside the Debian entries once.
if [ -f /etc/apt/sources.list.d/debian.sources ] && ! grep -q '^Types:.*deb-src' /etc/apt/sources.list.d/debian.sources \
   && [ ! -f /etc/apt/sources.list.d/lumetra-src.sources ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee /etc/apt/sources.list.d/lumetra-src.sources >/dev/null
  NEED_UPDATE=1
elif [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list && ! grep -q '^deb-src ' /etc/apt/sources.list \
   && [ ! -f /etc/apt/sources.list.d/lumetra-src.list ]; then
  grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/lumetra-src.list >/dev/null
  NEED_UPDATE=1
fi

for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${NEED_UPDATE:-0}" = 1 ] || [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
