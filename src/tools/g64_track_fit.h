#pragma once
// A G64 track longer than the turn of the drive it goes onto: written as it is, its end would
// go on over its own first sectors. It is shortened where the drive's format leaves room, the
// way a slower drive's disk differs from a faster one's: the tail gaps ahead of the header
// syncs (down to the 4 bytes the DOS's own format leaves) and syncs longer than the DOS writes
// (down to 5 bytes). Headers, data blocks and the gaps inside a sector stay as they are.

#include <cstdint>
#include <span>

namespace dw {

// Shortens the track's first `length` bytes in place to at most `room` bytes, taking from
// every gap and long sync in proportion to its spare bytes; returns the new length, which is
// still above room when the track has too little to spare.
int ShortenTrack(std::span<uint8_t> track, int length, int room);

}  // namespace dw
