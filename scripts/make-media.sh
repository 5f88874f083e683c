#!/usr/bin/env bash
# Generates the test media (tones in every supported format, broken files) and the demo playlist
# into the folder given as the only argument. Every tone file has its own frequency so a capture of
# the output tells which file was playing.
set -Eeuo pipefail

out=${1:?usage: make-media.sh OUTPUT-FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out/demo"
work=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-media.XXXXXX")
trap 'rm -rf "$work"' EXIT

tone() {  # tone WAV RATE CHANNELS BITS SECONDS FREQ [extra sox effects...]
  local wav=$1 rate=$2 channels=$3 bits=$4 seconds=$5 freq=$6
  shift 6
  sox -n -r "$rate" -c "$channels" -b "$bits" "$wav" synth "$seconds" sine "$freq" vol 0.5 "$@"
}

cut_file() {  # cut_file SOURCE DEST BYTES
  head -c "$3" "$1" > "$2"
}

# --- tones -------------------------------------------------------------------------------------
tone "$work/440.wav" 44100 2 16 3 440
lame --silent -b 128 "$work/440.wav" "$out/tone-440.mp3"

# Two seconds of tone, then one of silence: the quiet frames are far smaller than the loud first
# ones, so a length guessed from the first frame would be wrong.
tone "$work/550.wav" 44100 2 16 2 550 pad 0 1
lame --silent -V 2 "$work/550.wav" "$out/tone-550-vbr.mp3"
# The same without the info frame (-t): only a scan of every frame gives its length, all 116
# frames of 1152 samples (3030 ms) since nothing says how much of them is padding.
tone "$work/1650.wav" 44100 2 16 2 1650 pad 0 1
lame --silent -V 2 -t "$work/1650.wav" "$out/tone-1650-vbr-noinfo.mp3"
# Ten minutes of it, whose count takes long enough to be called off.
for _ in $(seq 200); do cat "$out/tone-1650-vbr-noinfo.mp3"; done > "$out/long-vbr-noinfo.mp3"

tone "$work/660.wav" 48000 2 16 3 660
oggenc -Q -q 4 -o "$out/tone-660.ogg" "$work/660.wav"

tone "$work/770.wav" 44100 2 16 1 770
flac -s -f -o "$out/tone-770.flac" "$work/770.wav"

# flac warns about sox's 24-bit WAVE headers; raw samples say the same without the noise.
sox -n -r 48000 -c 2 -b 24 -e signed -t raw "$work/880.raw" synth 1 sine 880 vol 0.5
flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=24 --sample-rate=48000 \
  -o "$out/tone-880-24bit.flac" "$work/880.raw"

tone "$work/990.wav" 22050 1 16 1 990
lame --silent -b 64 -m m "$work/990.wav" "$out/tone-990-mono.mp3"

tone "$work/1100.wav" 22050 1 16 1 1100
oggenc -Q -q 4 -o "$out/tone-1100-mono.ogg" "$work/1100.wav"

tone "$work/1210.wav" 32000 1 16 1 1210
flac -s -f -o "$out/tone-1210-mono.flac" "$work/1210.wav"

# Opus always decodes at 48 kHz; fed at 48 kHz, its length in samples is the tone's.
tone "$work/1760.wav" 48000 2 16 3 1760
opusenc --quiet "$work/1760.wav" "$out/tone-1760.opus"
tone "$work/1870.wav" 48000 1 16 1 1870
opusenc --quiet "$work/1870.wav" "$out/tone-1870-mono.opus"

# Content decides the decoder, not the name.
tone "$work/1320.wav" 44100 2 16 1 1320
oggenc -Q -q 4 -o "$out/ogg-1320.mp3" "$work/1320.wav"

# ID3v2 tags in front of the audio, as some taggers write them.
convert -size 64x64 gradient:'#3a6ea5'-'#f4d35e' "$work/small-cover.png"
tone "$work/1430.wav" 44100 2 16 1 1430
flac -s -f -o "$out/tone-1430-id3.flac" "$work/1430.wav"
python3 "$here/write-id3.py" "$out/tone-1430-id3.flac" --TIT2 "Tagged FLAC"
tone "$work/1540.wav" 44100 2 16 1 1540
lame --silent -b 128 "$work/1540.wav" "$out/tone-1540-id3.mp3"
python3 "$here/write-id3.py" "$out/tone-1540-id3.mp3" --TIT2 "Tagged MP3" --TPE1 "Test Tones" \
  --APIC "$work/small-cover.png"

# ReplayGain: copies of tones with track gain tags. Half the level (-6.02 dB) in each format's way
# of telling it; +12 dB that a peak of 0.5 allows only twice of; values that are no gain at all.
cp "$out/tone-770.flac" "$out/rg-770-half.flac"
metaflac --set-tag="REPLAYGAIN_TRACK_GAIN=-6.02 dB" --set-tag="REPLAYGAIN_TRACK_PEAK=0.500000" "$out/rg-770-half.flac"
cp "$out/tone-660.ogg" "$out/rg-660-half.ogg"
vorbiscomment -w -t "replaygain_track_gain=-6.02 dB" "$out/rg-660-half.ogg"
cp "$out/tone-440.mp3" "$out/rg-440-half.mp3"
python3 "$here/write-id3.py" "$out/rg-440-half.mp3" --TXXX "replaygain_track_gain=-6.02 dB"
opusenc --quiet --comment R128_TRACK_GAIN=-1541 "$work/1760.wav" "$out/rg-1760-half.opus"
cp "$out/tone-770.flac" "$out/rg-770-peak.flac"
metaflac --set-tag="REPLAYGAIN_TRACK_GAIN=+12.00 dB" --set-tag="REPLAYGAIN_TRACK_PEAK=0.5" "$out/rg-770-peak.flac"
cp "$out/tone-660.ogg" "$out/rg-660-garbage.ogg"
vorbiscomment -w -t "REPLAYGAIN_TRACK_GAIN=nan dB" -t "REPLAYGAIN_TRACK_PEAK=0,5" "$out/rg-660-garbage.ogg"
cp "$out/tone-770.flac" "$out/rg-770-huge.flac"
metaflac --set-tag="REPLAYGAIN_TRACK_GAIN=+900 dB" --set-tag="REPLAYGAIN_TRACK_PEAK=1e-9" "$out/rg-770-huge.flac"

# Four 0.75 s steps of 500, 600, 700 and 800 Hz: what the capture hears after a seek tells
# where the seek landed.
for f in 500 600 700 800; do tone "$work/step-$f.wav" 44100 2 16 0.75 "$f"; done
sox "$work"/step-{500,600,700,800}.wav "$work/steps.wav"
lame --silent -V 2 "$work/steps.wav" "$out/steps.mp3"
oggenc -Q -q 4 -o "$out/steps.ogg" "$work/steps.wav"
flac -s -f -o "$out/steps.flac" "$work/steps.wav"
opusenc --quiet "$work/steps.wav" "$out/steps.opus"

# An hour, two minutes and 3.4 seconds of silence at 8 kHz: long, yet small and quick to make.
head -c $(( 8000 * 37234 / 10 * 2 )) /dev/zero | flac -s -f --force-raw-format --endian=little --sign=signed \
  --channels=1 --bps=16 --sample-rate=8000 -o "$out/silence-1h02m03s.flac" -

# One sweep cut in two at a sample that is no block or frame boundary: played in a row, the two
# halves must give back the whole (gapless-whole.raw, raw 16-bit stereo) without a gap.
sox -n -r 44100 -c 2 -b 16 "$work/sweep.wav" synth 2.5 sine 300-3000 vol 0.5
sox -D "$work/sweep.wav" -t raw -e signed -b 16 -L "$out/gapless-whole.raw"
sox -D "$work/sweep.wav" "$work/sweep-a.wav" trim 0 53311s
sox -D "$work/sweep.wav" "$work/sweep-b.wav" trim 53311s
flac -s -f -o "$out/gapless-a.flac" "$work/sweep-a.wav"
flac -s -f -o "$out/gapless-b.flac" "$work/sweep-b.wav"
lame --silent -b 192 "$work/sweep-a.wav" "$out/gapless-a.mp3"
lame --silent -b 192 "$work/sweep-b.wav" "$out/gapless-b.mp3"
# The second half at half the level by its tags: the gain must change at its first sample.
cp "$out/gapless-b.flac" "$out/gapless-b-half.flac"
metaflac --set-tag="REPLAYGAIN_TRACK_GAIN=-6.02 dB" "$out/gapless-b-half.flac"
# The same sweep made at 48 kHz for Opus, cut inside one of its 20 ms frames.
sox -n -r 48000 -c 2 -b 16 "$work/sweep48.wav" synth 2.5 sine 300-3000 vol 0.5
sox -D "$work/sweep48.wav" "$work/sweep48-a.wav" trim 0 58011s
sox -D "$work/sweep48.wav" "$work/sweep48-b.wav" trim 58011s
opusenc --quiet "$work/sweep48-a.wav" "$out/gapless-a.opus"
opusenc --quiet "$work/sweep48-b.wav" "$out/gapless-b.opus"

# Two hours of silence without an info header (so only a pass over every frame tells its length):
# a minute encoded once and its frames repeated, which makes a long file in no time.
head -c $(( 8000 * 60 * 2 )) /dev/zero > "$work/minute.raw"
lame --silent -r -s 8 --bitwidth 16 --signed --little-endian -m m -b 8 -t "$work/minute.raw" "$work/minute.mp3" 2>/dev/null  # a warning about raw input
for _ in $(seq 120); do cat "$work/minute.mp3"; done > "$out/silence-2h.mp3"

# --- broken and foreign files -----------------------------------------------------------------
: > "$out/empty.mp3"
cut_file "$out/tone-440.mp3" "$out/truncated.mp3" 300     # less than the first frame
cut_file "$out/tone-660.ogg" "$out/truncated.ogg" 100     # the headers are incomplete
cut_file "$out/tone-770.flac" "$out/truncated.flac" 60    # stream info, but no audio frame
cut_file "$out/tone-1760.opus" "$out/truncated.opus" 100  # the comment header is incomplete
# Cut in the middle, yet with whole frames (pages) of audio before the cut.
cut_file "$out/tone-440.mp3" "$out/cut-440.mp3" $(( $(stat -c %s "$out/tone-440.mp3") / 2 ))
cut_file "$out/tone-660.ogg" "$out/cut-660.ogg" $(( $(stat -c %s "$out/tone-660.ogg") * 2 / 3 ))
cut_file "$out/tone-770.flac" "$out/cut-770.flac" $(( $(stat -c %s "$out/tone-770.flac") / 2 ))
cut_file "$out/tone-1760.opus" "$out/cut-1760.opus" $(( $(stat -c %s "$out/tone-1760.opus") * 2 / 3 ))
# Noise over a stretch of the middle pages: their checksums fail, the pages around them still play.
cp "$out/tone-1760.opus" "$out/garbled-1760.opus"
python3 -c 'import random, sys; r = random.Random(20261208); sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(8192)))' \
  | dd of="$out/garbled-1760.opus" bs=1 seek=$(( $(stat -c %s "$out/tone-1760.opus") / 3 )) conv=notrunc status=none
python3 -c 'import random, sys; r = random.Random(20240607); sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(32768)))' \
  > "$out/random.mp3"
printf 'This is a text file with an mp3 name.\nIt holds no audio at all.\n%.0s' {1..40} > "$out/text.mp3"

# --- demo playlist ----------------------------------------------------------------------------
chord() {  # chord WAV SECONDS FREQ... : plucked notes mixed into one stereo chord
  local wav=$1 seconds=$2
  shift 2
  local synth=() n=0
  for f in "$@"; do synth+=(pluck "$f"); n=$((n + 1)); done
  sox -r 44100 -c "$n" -n -b 16 -c 2 "$wav" synth "$seconds" "${synth[@]}" remix "1-$n" "1-$n" gain -n -3
}

track() {  # track WAV SECONDS-PER-CHORD "F F F" "F F F" ... : chords in a row with some room
  local wav=$1 seconds=$2
  shift 2
  local parts=() i=0
  for notes in "$@"; do
    # shellcheck disable=SC2086
    chord "$wav.chord-$i.wav" "$seconds" $notes
    parts+=("$wav.chord-$i.wav")
    i=$((i + 1))
  done
  local total=$(( seconds * i ))
  sox "${parts[@]}" "$wav" reverb 40 50 60 fade t 0.05 "$total" 1.5 gain -n -2
}

album=(--TPE1 "The Test Tones" --TALB "Quiet Hours" --TYER 2024 --TCOP "2024 The Test Tones"
       --TPUB "Lumetra Demo Records")

demo1() {
  track "$work/demo1.wav" 3 "261.63 329.63 392.00" "196.00 246.94 293.66" "220.00 261.63 329.63" "174.61 220.00 261.63"
  convert -size 300x300 gradient:'#1d3557'-'#e76f51' -fill '#f1faee' -draw 'circle 150 150 150 70' \
    "$work/cover1.png"
  lame --silent -V 4 "$work/demo1.wav" "$out/demo/01 First Light.mp3"
  python3 "$here/write-id3.py" "$out/demo/01 First Light.mp3" --TIT2 "First Light" "${album[@]}" --TRCK 1 \
    --APIC "$work/cover1.png"
}

demo2() {
  track "$work/demo2.wav" 2 "293.66 369.99 440.00" "246.94 293.66 369.99" "196.00 246.94 293.66" \
    "220.00 277.18 329.63" "293.66 369.99 440.00" "220.00 277.18 329.63"
  convert -size 300x300 gradient:'#2a9d8f'-'#264653' -fill '#e9c46a' -draw 'rectangle 70 70 230 230' \
    "$work/cover2.png"
  lame --silent -b 160 "$work/demo2.wav" "$out/demo/02 Harbour Walk.mp3"
  python3 "$here/write-id3.py" "$out/demo/02 Harbour Walk.mp3" --TIT2 "Harbour Walk" "${album[@]}" --TRCK 2 \
    --APIC "$work/cover2.png"
}

demo3() {
  track "$work/demo3.wav" 3 "220.00 261.63 329.63" "174.61 220.00 261.63" "261.63 329.63 392.00" "196.00 246.94 293.66"
  oggenc -Q -q 5 -t "Low Tide" -a "The Test Tones" -l "Quiet Hours" -d 2024 -N 3 \
    -o "$out/demo/03 Low Tide.ogg" "$work/demo3.wav"
}

demo4() {
  track "$work/demo4.wav" 4 "349.23 440.00 523.25" "261.63 329.63 392.00" "293.66 349.23 440.00"
  flac -s -f --tag="TITLE=Lanterns" --tag="ARTIST=The Test Tones" --tag="ALBUM=Quiet Hours" \
    --tag="DATE=2024" --tag="TRACKNUMBER=4" -o "$out/demo/04 Lanterns.flac" "$work/demo4.wav"
}

# The tracks are independent; side by side they take a fraction of the time.
pids=()
for job in demo1 demo2 demo3 demo4; do
  "$job" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done
