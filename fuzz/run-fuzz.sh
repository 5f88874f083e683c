#!/usr/bin/env bash
# Builds the tag-reader fuzz target natively (clang, libFuzzer, ASan, UBSan) against id3lib and
# TagLib from Debian's sources with Debian's patches and ours, configured as the cross-build takes
# them, then fuzzes for the seconds given (600 by default) from a corpus of generated tags, TagLib's
# test files and the build's media of every format.
# Findings go to build/fuzz/findings; the exit code is non-zero when there is one.
set -Eeuo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
# The fuzzer yields to everything else unless told otherwise (FUZZ_NICE=0 keeps a core busy).
niceness=${FUZZ_NICE:-19}
out=${FUZZ_BUILD:-$here/build/fuzz}
mkdir -p "$out"
log=$out/build.log
: >"$log"
fail() { echo "fuzz: failed; the last lines of $log:" >&2; tail -n 30 "$log" >&2; exit 1; }
trap fail ERR

SUDO=""; [ "$(id -u)" != 0 ] && SUDO="sudo"
need=()
for p in clang libclang-rt-14-dev zlib1g-dev dpkg-dev autoconf automake libtool python3 cmake; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "fuzz: installing ${need[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >>"$log" 2>&1
fi

# TagLib keeps a picture's type byte, whatever it is, in an enum that names 21 types; the player only
# compares it with the front cover's. Reading such a value back is what the enum check flags, in
# the library's own accessor: not a fault that can reach the player, so that one check is off.
sanitize="-fsanitize=address,undefined -fno-sanitize=enum -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
# id3lib is rebuilt whenever our patches or the sanitizer flags change.
key=$( (echo "$sanitize"; cat "$here"/scripts/patches/id3lib/*.patch) | sha256sum | cut -c1-16)
prefix=$out/id3lib-$key
if [ ! -f "$prefix/.complete" ]; then
  echo "fuzz: building id3lib with the sanitizers" >&2
  src=$out/src
  rm -rf "$src" && mkdir -p "$src"
  (cd "$src" && apt-get source --download-only id3lib3.8.3 taglib >>"$log" 2>&1) || true
  ls "$src"/id3lib3.8.3_*.dsc >/dev/null
  (cd "$src" && dpkg-source -x --no-check id3lib3.8.3_*.dsc id3lib >>"$log" 2>&1)
  for p in "$here"/scripts/patches/id3lib/*.patch; do patch -d "$src/id3lib" -p1 --forward <"$p" >>"$log" 2>&1; done
  (cd "$src/id3lib" && libtoolize -fc && aclocal && autoconf && automake --add-missing --copy) >>"$log" 2>&1
  (cd "$src/id3lib" && ./configure --prefix="$prefix" --disable-shared --enable-static CC=clang CXX=clang++ \
    CFLAGS="$sanitize -fsanitize=fuzzer-no-link" CXXFLAGS="$sanitize -fsanitize=fuzzer-no-link -std=gnu++98" \
    && make -j"$(nproc)" && make install) >>"$log" 2>&1
  touch "$prefix/.complete"
fi

# TagLib likewise, without zlib as in the cross-build, and without its debug messages (a line on
# stderr for every odd header slows the fuzzing a hundredfold); Debian's patch wants utf8-cpp under
# the name of the system's copy, which the source's own copy serves.
taglib_prefix=$out/taglib-$(echo "$key NDEBUG" | sha256sum | cut -c1-16)
if [ ! -f "$taglib_prefix/.complete" ]; then
  echo "fuzz: building TagLib with the sanitizers" >&2
  src=$out/src
  mkdir -p "$src"
  ls "$src"/taglib_*.dsc >/dev/null 2>&1 || (cd "$src" && apt-get source --download-only taglib >>"$log" 2>&1) || true
  rm -rf "$src/taglib" "$src/taglib-build" "$src/utf8cpp"
  (cd "$src" && dpkg-source -x --no-check taglib_*.dsc taglib >>"$log" 2>&1)
  mkdir -p "$src/utf8cpp" && ln -s "$src/taglib/3rdparty/utf8-cpp" "$src/utf8cpp/utf8"
  cmake -S "$src/taglib" -B "$src/taglib-build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX="$taglib_prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=OFF \
    -DCMAKE_CXX_FLAGS="$sanitize -fsanitize=fuzzer-no-link -DNDEBUG -I$src/utf8cpp" >>"$log" 2>&1
  nice -n "$niceness" cmake --build "$src/taglib-build" -j"$(nproc)" >>"$log" 2>&1
  cmake --install "$src/taglib-build" >>"$log" 2>&1
  touch "$taglib_prefix/.complete"
fi

echo "fuzz: building the target" >&2
clang++ -std=c++17 $sanitize -fsanitize=fuzzer -DID3LIB_LINKOPTION=1 -DTAGLIB_STATIC -I"$here" -I"$prefix/include" \
  -I"$taglib_prefix/include/taglib" "$here/fuzz/TagReaderFuzz.cpp" "$here/metadata/PictureSize.cpp" \
  "$here/metadata/TagLibTags.cpp" "$prefix/lib/libid3.a" "$taglib_prefix/lib/libtag.a" -lz \
  -o "$out/tag-reader-fuzz" >>"$log" 2>&1

seeds=$out/seeds
rm -rf "$seeds" && mkdir -p "$seeds" "$out/corpus" "$out/findings"
python3 "$here/fuzz/make-seeds.py" "$seeds"
# Another tag library's test files: tags and files of every kind it meets in the wild.
taglib=$(ls "$out"/src/taglib_*.orig.tar.* 2>/dev/null | head -n1 || true)
if [ -n "$taglib" ]; then
  tar -xf "$taglib" -C "$seeds" --wildcards --no-anchored --strip-components=3 'tests/data/*' >>"$log" 2>&1 || true
  find "$seeds" -type f -size +256k -delete
fi
# The build's media: every format the player plays, tagged and not, with covers.
media=$here/build/x64/media
if [ -d "$media" ]; then
  find "$media" -maxdepth 2 -type f \( -iname '*.mp3' -o -iname '*.ogg' -o -iname '*.flac' -o -iname '*.opus' \) \
    -size -256k -exec cp {} "$seeds" \;
fi
echo "fuzz: $(ls "$seeds" | wc -l) seeds; fuzzing for $([ -n "${FUZZ_RUNS:-}" ] && echo "$FUZZ_RUNS inputs" || echo "$seconds s")" >&2

trap - ERR
scratch=$(mktemp -d /dev/shm/tagfuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A single allocation above 64 MB is a finding: no file may take the player far past its budget.
status=0
# FUZZ_RUNS ends it after that many inputs instead, however long they take.
limit=(-max_total_time="$seconds")
[ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
FUZZ_SCRATCH=$scratch nice -n "$niceness" "$out/tag-reader-fuzz" "${limit[@]}" -max_len=16384 \
  -malloc_limit_mb=64 -rss_limit_mb=1024 -timeout=60 -report_slow_units=60 -print_final_stats=1 \
  -artifact_prefix="$out/findings/" "$out/corpus" "$seeds" >"$out/fuzz.log" 2>&1 || status=$?
grep -E '^(==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$out/fuzz.log" || true
# The fuzzing parses from memory; every input it kept goes once more through a file and the
# file-name constructor, the way the player opens a tag.
if [ "$status" = 0 ]; then
  FUZZ_THROUGH_FILE=1 FUZZ_SCRATCH=$scratch nice -n "$niceness" "$out/tag-reader-fuzz" -runs=0 -max_len=16384 \
    -malloc_limit_mb=64 -rss_limit_mb=1024 -timeout=60 -artifact_prefix="$out/findings/" \
    "$out/corpus" "$seeds" >"$out/replay.log" 2>&1 || status=$?
  echo "fuzz: replayed $(find "$out/corpus" "$seeds" -type f | wc -l) kept inputs through a file: $([ "$status" = 0 ] && echo clean || echo "stopped with $status, see $out/replay.log")"
fi
ls "$out/findings" | sed 's/^/fuzz: finding /'
[ "$status" = 0 ] || echo "fuzz: the fuzzer stopped with $status; see $out/fuzz.log" >&2
exit "$status"
