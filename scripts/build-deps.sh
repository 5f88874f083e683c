#!/usr/bin/env bash
# Cross-builds, for the architecture given (i686 by default), the static libraries Lumetra links
# (id3lib, TagLib, mpg123, libogg, libvorbis, libFLAC, libopus, opusfile, GoogleTest) from Debian's source packages into
# a cache outside the clone, keyed by the architecture and a hash of this recipe and of our patches.
# Prints the prefix on its last line. A finished prefix is reused as it is.
set -Eeuo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# The Windows architecture: i686 for the program users get, x86_64 for the build the tests run
# (64-bit Wine runs where the kernel cannot execute 32-bit binaries).
arch=${1:-i686}
case "$arch" in i686|x86_64) ;; *) echo "deps: unknown architecture $arch" >&2; exit 2;; esac
toolchain=$here/cmake/$arch-mingw-posix.cmake
patches=$here/scripts/patches
recipe_hash=$arch-$(cat "$0" "$toolchain" "$patches"/*/*.patch | sha256sum | cut -c1-16)
cache_root=${LUMETRA_DEPS_CACHE:-/var/cache/lumetra-deps}
prefix=$cache_root/$recipe_hash

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Two builds at once (two checkouts, CI beside a session) share the cache: one builds, the other
# waits for it and then finds the prefix complete. The build goes into a folder of its own that is
# renamed into place only when everything is installed, so no reader ever sees half a prefix.
mkdir -p "$cache_root"
exec 8>"$cache_root/$recipe_hash.lock"
flock 8
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

host=$arch-w64-mingw32
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
jobs=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-deps.XXXXXX")
final=$prefix
prefix=$(mktemp -d "$cache_root/.$recipe_hash.building.XXXXXX")
trap 'rm -rf "$work" "$prefix"' EXIT
log=$work/build.log

step() { echo "deps: $*" >&2; }
fail() { echo "deps: failed; the last lines of the log:" >&2; tail -n 40 "$log" >&2; exit 1; }
trap fail ERR

fetch() {  # fetch SOURCE-PACKAGE into $work/src-NAME (download only, no unpacking)
  mkdir -p "$work/src-$1"
  # A missing .asc signature on the mirror makes apt-get fail although the sources arrived.
  (cd "$work/src-$1" && apt-get source --download-only "$1" >>"$log" 2>&1) || true
  ls "$work/src-$1"/*.dsc >/dev/null 2>&1 || { echo "deps: could not download the sources of $1" >&2; false; }
}

unpack() {  # unpack NAME DIR: dpkg-source applies Debian's patches
  (cd "$work/src-$1" && dpkg-source -x --no-check ./*.dsc "$2" >>"$log" 2>&1)
}

autotools_build() {  # autotools_build DIR configure-args...
  local dir=$1; shift
  (cd "$dir" && ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static "$@" >>"$log" 2>&1 \
    && make -j"$jobs" >>"$log" 2>&1 && make install >>"$log" 2>&1)
}

step "libogg"
fetch libogg; unpack libogg "$work/ogg"
autotools_build "$work/ogg"

step "libvorbis"
fetch libvorbis; unpack libvorbis "$work/vorbis"
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig autotools_build "$work/vorbis" \
  --disable-docs --disable-examples --disable-oggtest --with-ogg="$prefix"

step "opus"
# Its configure adds _FORTIFY_SOURCE=2 by itself, and MinGW then cannot link __memcpy_chk.
fetch opus; unpack opus "$work/opus"
autotools_build "$work/opus" CPPFLAGS=-D_FORTIFY_SOURCE=0 --disable-doc --disable-extra-programs

step "opusfile"
# Without http there is no OpenSSL to build: the player only opens local files.
fetch opusfile; unpack opusfile "$work/opusfile"
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig autotools_build "$work/opusfile" --disable-http --disable-doc --disable-examples

step "flac"
fetch flac; unpack flac "$work/flac"
cmake -S "$work/flac" -B "$work/flac-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CXXLIBS=OFF \
  -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF \
  -DWITH_OGG=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF >>"$log" 2>&1
cmake --build "$work/flac-build" -j"$jobs" >>"$log" 2>&1
cmake --install "$work/flac-build" >>"$log" 2>&1

step "mpg123"
# Its .dsc names a signature file that is not on the mirror, so unpack and patch by hand.
fetch mpg123
mkdir -p "$work/mpg123"
tar -xf "$(ls "$work"/src-mpg123/mpg123_*.orig.tar.* | grep -v '\.asc$' | head -n1)" -C "$work/mpg123" --strip-components=1
tar -xf "$(ls "$work"/src-mpg123/mpg123_*.debian.tar.*)" -C "$work/mpg123"
if [ -f "$work/mpg123/debian/patches/series" ]; then
  while read -r p; do
    case "$p" in ''|'#'*) continue;; esac
    patch -d "$work/mpg123" -p1 <"$work/mpg123/debian/patches/$p" >>"$log" 2>&1
  done <"$work/mpg123/debian/patches/series"
fi
mpg123_cpu=x86; [ "$arch" = x86_64 ] && mpg123_cpu=x86-64
autotools_build "$work/mpg123" --with-cpu=$mpg123_cpu --enable-modules=no --with-audio=win32 \
  --with-default-audio=win32 --with-network=none

step "id3lib"
fetch id3lib3.8.3; unpack id3lib3.8.3 "$work/id3lib"
# Our fixes for faults found by fuzzing the calls the player makes (each patch says what it fixes).
for p in "$patches"/id3lib/*.patch; do
  patch -d "$work/id3lib" -p1 --forward <"$p" >>"$log" 2>&1
done
(cd "$work/id3lib" && libtoolize -fc >>"$log" 2>&1 && aclocal >>"$log" 2>&1 && autoconf >>"$log" 2>&1 \
  && automake --add-missing --copy >>"$log" 2>&1)
autotools_build "$work/id3lib" CPPFLAGS="-DID3LIB_LINKOPTION=1 -I/usr/$host/include"

step "taglib"
# Reads the ID3v2.4 tags and the Vorbis comments id3lib cannot. Debian's patch points it at a
# system utf8-cpp; the copy inside the same source serves under the name the patch expects.
# Without zlib: TagLib inflates a compressed frame to whatever size it expands to (about 1000
# times its bytes), so such rare frames are skipped instead.
fetch taglib; unpack taglib "$work/taglib"
mkdir -p "$work/utf8cpp" && ln -s "$work/taglib/3rdparty/utf8-cpp" "$work/utf8cpp/utf8"
cmake -S "$work/taglib" -B "$work/taglib-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=OFF -DCMAKE_CXX_FLAGS="-I$work/utf8cpp" >>"$log" 2>&1
cmake --build "$work/taglib-build" -j"$jobs" >>"$log" 2>&1
cmake --install "$work/taglib-build" >>"$log" 2>&1

step "googletest"
cmake -S /usr/src/googletest -B "$work/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON \
  -DINSTALL_GTEST=ON >>"$log" 2>&1
cmake --build "$work/gtest-build" -j"$jobs" >>"$log" 2>&1
cmake --install "$work/gtest-build" >>"$log" 2>&1

# The installed pkg-config, libtool and CMake files name the folder they were built in.
grep -rlI --null -F "$prefix" "$prefix" | xargs -0 -r sed -i "s#$prefix#$final#g"
touch "$prefix/.complete"
chmod 755 "$prefix"
rm -rf "$final"
mv "$prefix" "$final"
step "done in $final"
echo "$final"
