#pragma once
// Bit-rate zones of a GCR disk. The drive's disk controller clocks bits at 4 MHz / (16 - zone),
// so the outer tracks, which are longer, are written faster and carry more sectors. The zone
// table below is the one place that says which tracks lie in which zone; the image layouts
// and the track table derive their sector counts and offsets from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace dw {

struct ZoneRow {
  uint8_t zone;        // 3 is the fastest (outermost) zone, 0 the slowest
  uint8_t firstTrack;  // track numbers on one side of the disk
  uint8_t lastTrack;
  uint8_t sectorCount;
  int32_t gcrPages;       // 256-byte pages asked for when the track is read raw
  uint8_t tailGapLength;  // $55 bytes written after each data block
};

// Outer zone first. Everything from track 31 inward is the slowest zone, tracks 36-40 of
// a 40-track disk included; the last row reaches track 70 so that every track of the
// track table below 71 has a zone when the 40-track layout numbers tracks straight on.
inline constexpr std::array<ZoneRow, 4> kZoneTable{{
    {3, 1, 17, 21, 32, 4},
    {2, 18, 24, 19, 30, 14},
    {1, 25, 30, 18, 28, 9},
    {0, 31, 70, 17, 27, 6},
}};

inline constexpr int kZoneCount = static_cast<int>(kZoneTable.size());

// The controller takes the zone in bits 5 and 6 of its control register.
constexpr uint8_t ZoneBits(int zone) {
  return static_cast<uint8_t>(zone << 5);
}
constexpr int ZoneFromBits(uint8_t zoneBits) {
  return (zoneBits >> 5) & 3;
}

// Index into kZoneTable of the row holding a track of one side; -1 above the last row.
constexpr int ZoneRowIndex(int trackOnSide) {
  for (int row = 0; row < kZoneCount; ++row) {
    const ZoneRow& r = kZoneTable[static_cast<size_t>(row)];
    if (trackOnSide >= r.firstTrack && trackOnSide <= r.lastTrack) return row;
  }
  return -1;
}

// Raw bytes one revolution holds: the byte rate 4000000 / (16 - zone) / 8 over one minute,
// divided by the revolutions per minute, in this order in double precision and rounded
// down. A zone outside 0..3, a speed that is not positive, or a result beyond 32 bits has
// no capacity and gives 0.
constexpr int32_t NominalCapacityBytes(int zone, double rpm) {
  if (zone < 0 || zone >= kZoneCount || !(rpm > 0.0)) return 0;
  const double bytes = 4000000.0 / (16 - zone) / 8 * 60 / rpm;
  if (!(bytes < static_cast<double>(std::numeric_limits<int32_t>::max()))) return 0;
  return static_cast<int32_t>(bytes);
}

static_assert(NominalCapacityBytes(3, 300.0) == 7692 && NominalCapacityBytes(2, 300.0) == 7142 &&
              NominalCapacityBytes(1, 300.0) == 6666 && NominalCapacityBytes(0, 300.0) == 6250);

// A raw read must cover a whole revolution at 300 rpm whatever the track's rotation.
constexpr bool RawReadsCoverARevolution() {
  for (const ZoneRow& r : kZoneTable) {
    if (r.gcrPages * 256 <= NominalCapacityBytes(r.zone, 300.0)) return false;
  }
  return true;
}
static_assert(RawReadsCoverARevolution());

// Raw bytes one revolution holds in a bit-rate zone (0..3) at the given spindle speed.
int32_t NominalTrackCapacity(int zone, float rpm);

}  // namespace dw
