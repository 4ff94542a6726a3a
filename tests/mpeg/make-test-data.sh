#!/usr/bin/env bash
# Makes the MPEG test files with Debian's encoders (lame, twolame) and our
# own Layer I writer: usage make-test-data.sh OUTDIR TONE_TOOL LAYER1_TOOL
set -euo pipefail
out=$1 tone=$(realpath "$2") layer1=$(realpath "$3")
mkdir -p "$out"
cd "$out"
[ -f .complete-5 ] && exit 0

"$tone" in44s.wav 44100 2 6
"$tone" in44m.wav 44100 1 4
"$tone" in32m.wav 32000 1 4
"$tone" in48s.wav 48000 2 4
"$tone" in22s.wav 22050 2 4
"$tone" in16m.wav 16000 1 4
"$tone" in11s.wav 11025 2 4
"$tone" in8m.wav 8000 1 4
"$tone" long44s.wav 44100 2 40
"$tone" clip44s.wav 44100 2 0.12

q="--quiet"
lame $q -b 128 in44s.wav cbr128-44k-stereo.mp3
lame $q -V 4 in44s.wav vbr-44k-stereo.mp3
lame $q -V 4 -t in44s.wav vbr-no-tag.mp3 # no Xing frame: no seek table, no gapless facts
lame $q -b 64 -m m in32m.wav cbr64-32k-mono.mp3
lame $q -b 160 in48s.wav cbr160-48k-stereo.mp3
lame $q -b 64 in22s.wav mpeg2-22k-stereo.mp3
lame $q -b 32 -m m in16m.wav mpeg2-16k-mono.mp3
lame $q -b 32 in11s.wav mpeg25-11k-stereo.mp3
lame $q -b 16 -m m in8m.wav mpeg25-8k-mono.mp3
lame $q -b 128 long44s.wav long-cbr128.mp3
lame $q -V 4 long44s.wav long-vbr.mp3
lame $q -b 128 clip44s.wav short-clip.mp3
twolame --quiet -b 192 in44s.wav layer2-44k-stereo.mp2
twolame --quiet -b 96 -m m in44m.wav layer2-44k-mono.mp2
"$layer1" layer1-48k-stereo.mp1 4
"$layer1" layer1-48k-mono.mp1 4 mono

# A large ID3v2 tag in front: "ID3", version 3, no flags, a synchsafe size
# of 100,000 bytes, then that many bytes of padding.
{ printf 'ID3\x03\x00\x00\x00\x06\x0d\x20'; head -c 100000 /dev/zero; cat cbr128-44k-stereo.mp3; } > id3v2-large.mp3
# The same tag holding binary data, as a cover picture does: it must be
# stepped over whole, whatever it holds that looks like a frame.
{ printf 'ID3\x03\x00\x00\x00\x06\x0d\x20'; head -c 100000 /dev/urandom; cat cbr128-44k-stereo.mp3; } > id3v2-picture.mp3
{ cat cbr128-44k-stereo.mp3; head -c 20000 /dev/urandom; } > trailing-garbage.mp3
{ cat cbr128-44k-stereo.mp3; printf 'TAG'; head -c 125 /dev/zero; } > id3v1.mp3
size=$(stat -c %s cbr128-44k-stereo.mp3)
head -c $((size - 200)) cbr128-44k-stereo.mp3 > truncated-last-frame.mp3
cp cbr128-44k-stereo.mp3 corrupt-middle.mp3
dd if=/dev/urandom of=corrupt-middle.mp3 bs=1 seek=$((size / 2)) count=3000 conv=notrunc status=none
# Frame headers (MPEG-1 Layer III, 128 kbit/s, 44.1 kHz) whose side
# information claims more audio data than any frame holds.
for i in $(seq 1 200); do printf '\xff\xfb\x90\x64'; head -c 413 /dev/zero | tr '\0' '\377'; done > headers-only.mp3
: > empty.mp3
mv in44s.wav music44s.wav # the music the 44.1 kHz stereo files were made from
mv in32m.wav music32m.wav # and the 32 kHz mono file

# FLAC: 16-bit stereo and 24-bit mono, each with flac's own decode beside it,
# and two damaged copies.
"$tone" in96m24.wav 96000 1 3 24
flac --silent -f -o music16.flac music44s.wav
flac --silent -f -o mono24-96k.flac in96m24.wav
flac --silent -f -d -o music16-flac.wav music16.flac
flac --silent -f -d -o mono24-96k-flac.wav mono24-96k.flac
size=$(stat -c %s music16.flac)
head -c $((size / 2)) music16.flac > truncated.flac
cp music16.flac corrupt.flac
dd if=/dev/urandom of=corrupt.flac bs=1 seek=$((size / 2)) count=2000 conv=notrunc status=none
rm -f in*.wav long44s.wav clip44s.wav
touch .complete-5
