#pragma once
// The G64 file a Create G64 writes: one side of a GCR disk, track by track as its raw bytes.

#include <cstdint>
#include <map>
#include <vector>

namespace dw {

struct G64Track {
  int zone = 0;  // the bit-rate zone the track was read at, 0..3
  std::vector<uint8_t> bytes;
};

// Standard G64 files reserve this much for every track, a little more than a zone 3 track at
// 300 rpm holds.
inline constexpr int kG64StandardTrackSize = 7928;

// The file for whole tracks by number (1..42). The largest track size is the standard one, or
// the longest track's length when a track is longer: a track is never cut.
std::vector<uint8_t> G64FileBytes(const std::map<int, G64Track>& tracks);

}  // namespace dw
