#!/usr/bin/env bash
# Remakes the seed corpus in fuzz/corpus/ from cc1541 images and sessions with the virtual bus.
#   fuzz/make_seeds.sh [fuzz build folder, default build/fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/fuzz}"
corpus=fuzz/corpus
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for target in link_port directory_listing raw_track drive_code_file disk_image g64_image \
  input_text bus_images; do
  rm -rf "$corpus/fuzz_$target"
  mkdir -p "$corpus/fuzz_$target"
done

# A disk with two small program files, as a D64, a G64, a D71 and a D81.
head -c 600 /dev/zero | tr '\0' '\252' >"$work/one.bin"
printf 'HELLO FROM DISKWRIGHT' >"$work/two.bin"
for type in d64 d71 d81; do
  cc1541 -q -n seed -i dw -f one -w "$work/one.bin" -f two -w "$work/two.bin" \
    $([ "$type" = d64 ] && echo "-g $work/disk.g64") "$work/disk.$type" >/dev/null
done

"$build/fuzz/fuzz_make_seeds" "$work/disk.d64" "$work/disk.d81" "$PWD/$corpus"

# Images behind the selector byte of the disk image target: bit 0 verify, the rest the kind of
# file (fuzz/disk_image.cpp): 0 a D64 as it is, 2 a D64 with error bytes, 6 a D71, 9 a D81; the
# input lies at the end of a file of that size.
{ printf '\000'; cat "$work/disk.d64"; } >"$corpus/fuzz_disk_image/restore-d64"
# Error bytes: good sectors, then a header not found, a data checksum error and an ID mismatch.
errors() { head -c "$1" /dev/zero | tr '\0' '\1'; printf '\002\005\013'; }
{ printf '\004'; tail -c 3840 "$work/disk.d64"; errors 680; } >"$corpus/fuzz_disk_image/restore-d64-errors"
# The D71's directory track (18) as the last sectors of side 2.
{ printf '\015'; head -c 95488 "$work/disk.d71" | tail -c 4096; } >"$corpus/fuzz_disk_image/verify-d71-end"
# The D81's header and BAM sectors (track 40) as the last track.
{ printf '\022'; head -c 403456 "$work/disk.d81" | tail -c 4096; } >"$corpus/fuzz_disk_image/restore-d81-end"
{ printf '\000'; head -c 8192 "$work/disk.d64"; } >"$corpus/fuzz_bus_images/d64-cut"
{ printf '\001'; head -c 4096 "$work/disk.d71"; } >"$corpus/fuzz_bus_images/d71-cut"
{ printf '\002'; head -c 12000 "$work/disk.g64"; } >"$corpus/fuzz_bus_images/g64-cut"
{ printf '\003'; head -c 4096 "$work/disk.d81"; } >"$corpus/fuzz_bus_images/d81-cut"
# The G64's header, its tables and its first tracks; the later tracks lie beyond the end.
head -c 24000 "$work/disk.g64" >"$corpus/fuzz_g64_image/tracks-1-to-3"

# The virtual drives' own drive code.
cp sim/drivecode/157x_U0.h65 "$corpus/fuzz_drive_code_file/"
cp sim/drivecode/1541_U1.h65 "$corpus/fuzz_drive_code_file/"

# Typed text behind the command byte: 0 HEX to GCR, 1 GCR to HEX, 2 track dump.
printf '\00008 12 00 01 41 42 0f 0f' >"$corpus/fuzz_input_text/hex-to-gcr"
printf '\00152 54 b5 29 4b 7a 5e 55' >"$corpus/fuzz_input_text/gcr-to-hex"
printf '\00218' >"$corpus/fuzz_input_text/track-18"
printf '\002 $24p' >"$corpus/fuzz_input_text/track-36-physical"
