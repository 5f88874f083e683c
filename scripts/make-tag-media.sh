#!/usr/bin/env bash
# Generates the ogg, opus and flac test files whose tags are Vorbis comments, with FLAC PICTURE blocks
# and an Ogg METADATA_BLOCK_PICTURE cover, into the folder given as the only argument.
set -Eeuo pipefail

out=${1:?usage: make-tag-media.sh OUTPUT-FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-tags.XXXXXX")
trap 'rm -rf "$work"' EXIT

convert -size 60x40 xc:'#ff0000' "$work/red.png"
convert -size 60x40 xc:'#0000ff' "$work/blue.png"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 0.5 sine 1760 vol 0.5

# Non-Latin texts, a full date, the publisher under ORGANIZATION; in flac a back cover before the
# front cover, which is the one shown.
comments=(-T "TITLE=Ночной город" -T "ARTIST=東京の夜" -T "ALBUM=Café Nights" -T "DATE=2021-05-03"
  -T "ORGANIZATION=Северный Label" -T "COPYRIGHT=(C) 2021 Owner")
flac -s -f "${comments[@]}" --picture="4||||$work/blue.png" --picture="3||||$work/red.png" \
  -o "$out/tags-comments.flac" "$work/tone.wav"

# Ogg keeps the cover as a base64 FLAC picture block inside a comment.
picture=$(python3 - "$work/red.png" <<'PY'
import base64, struct, sys
data = open(sys.argv[1], "rb").read()
mime = b"image/png"
block = struct.pack(">II", 3, len(mime)) + mime + struct.pack(">I", 0) + struct.pack(">IIIII", 60, 40, 24, 0, len(data)) + data
print(base64.b64encode(block).decode())
PY
)
oggenc -Q -q 2 -t "Ночной город" -a "東京の夜" -l "Café Nights" -d "2021-05-03" \
  -c "LABEL=Северный Label" -c "COPYRIGHT=(C) 2021 Owner" -c "METADATA_BLOCK_PICTURE=$picture" \
  -o "$out/tags-comments.ogg" "$work/tone.wav"

# Opus keeps the cover the same way, written by opusenc itself.
sox -n -r 48000 -c 2 -b 16 "$work/tone48.wav" synth 0.5 sine 1760 vol 0.5
opusenc --quiet --title "Ночной город" --artist "東京の夜" --album "Café Nights" --date "2021-05-03" \
  --comment "ORGANIZATION=Северный Label" --comment "COPYRIGHT=(C) 2021 Owner" --picture "3||||$work/red.png" \
  "$work/tone48.wav" "$out/tags-comments.opus"

# Both kinds: an ID3v2.3 tag in front that has a title only, comments with a title and an artist.
flac -s -f -T "TITLE=Comment Title" -T "ARTIST=Comment Artist" -T "PUBLISHER=Comment Label" \
  -o "$out/tags-both.flac" "$work/tone.wav"
python3 "$here/write-id3.py" "$out/tags-both.flac" --TIT2 "ID3 Title"

# A 20000 x 20000 grey PNG of about 1 MB that would take 1.6 GB to decode, as the cover of an mp3.
python3 - "$work/huge.png" <<'PY'
import struct, sys, zlib
width = height = 20000
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
packer = zlib.compressobj(9)
row = b"\0" + b"\x80" * width
idat = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", idat) + chunk(b"IEND", b""))
PY
lame --silent -b 64 "$work/tone.wav" "$out/huge-cover.mp3"
python3 "$here/write-id3.py" "$out/huge-cover.mp3" --TIT2 "Huge Cover" --APIC "$work/huge.png"
