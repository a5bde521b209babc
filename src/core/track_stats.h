#pragma once
#include <cstdint>

namespace dw {

// Figures of the last raw track read: sync marks in one revolution, the bit-rate zone the
// drive measured (0 to 3, whatever byte time it counted), and the raw bytes one revolution
// holds.
struct TrackStatsRecord {
  int64_t syncCount = 0;
  uint8_t bitrateZone = 0;
  int64_t byteCapacity = 0;
};

}  // namespace dw
