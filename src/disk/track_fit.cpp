#include "disk/track_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "disk/geometry.h"
#include "gcr/zones.h"

namespace dw {

namespace {

constexpr int kHeaderBlockBytes = 10;
constexpr int kDataBlockBytes = 325;
// The DOS's format never leaves less behind a data block: room for a rewritten block that
// runs a little long.
constexpr int kMinGap = 4;
// Written beyond the longest revolution plus drift: the switch-off of the write current.
constexpr int kSpliceBytes = 8;

struct FittedLayout {
  int sectorBytes = 0;  // one sector as built, without the gap behind it
  int builtGap = 0;     // the gap the builder left behind each data block
  int gap = 0;          // the gap behind each data block on the fitted track
  int lead = 0;         // filler before sector 0
  int sectors = 0;
};

int SectorBytes(const TrackRecord& record) {
  return record.headerSyncLength + kHeaderBlockBytes + record.headerGapLength +
         record.dataSyncLength + 1 + kDataBlockBytes;
}

// Microseconds one byte takes at the track's bit rate: 4 MHz / (16 - zone), 8 bits.
double ByteUs(const TrackRecord& record) {
  return 2.0 * (16 - ZoneFromBits(record.zoneBits));
}

FittedLayout LayoutFor(const TrackRecord& record, const RevolutionWindow& turn) {
  FittedLayout layout;
  layout.sectors = record.sectorCount;
  layout.sectorBytes = SectorBytes(record);
  layout.builtGap = record.tailGapLength;
  if (layout.sectors == 0) return layout;
  const double byteUs = ByteUs(record);
  const int budget = static_cast<int>(std::floor(turn.shortestUs / byteUs * (1.0 - kWriteDrift)));
  layout.gap = std::max(kMinGap, (budget - layout.sectors * layout.sectorBytes) / layout.sectors);
  const int write =
      static_cast<int>(std::ceil(turn.longestUs / byteUs * (1.0 + kWriteDrift))) + kSpliceBytes;
  layout.lead = std::max(kSpliceBytes, write - layout.sectors * (layout.sectorBytes + layout.gap));
  return layout;
}

int WriteLength(const FittedLayout& layout) {
  return layout.lead + layout.sectors * (layout.sectorBytes + layout.gap);
}

}  // namespace

int FittedTrackLength(const Program& p, int track, const RevolutionWindow& turn) {
  if (track < 1 || track >= kTrackTableSize) return 1;
  return WriteLength(LayoutFor(p.TrackTable[static_cast<size_t>(track)], turn)) + 1;
}

int FitTrackToRevolution(Program& p, int track, int length, const RevolutionWindow& turn) {
  if (track < 1 || track >= kTrackTableSize || turn.shortestUs <= 0) return length;
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  const FittedLayout layout = LayoutFor(record, turn);
  const int built = layout.sectors * (layout.sectorBytes + layout.builtGap);
  const int fitted = WriteLength(layout);
  if (built != length - 1 || fitted + 1 > std::ssize(p.GcrOutBuffer)) return length;
  const std::vector<uint8_t> sectors(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + built);
  auto out = p.GcrOutBuffer.begin();
  out = std::fill_n(out, layout.lead, record.tailGapByte);
  for (int s = 0; s < layout.sectors; ++s) {
    const auto from = sectors.begin() + s * (layout.sectorBytes + layout.builtGap);
    out = std::copy(from, from + layout.sectorBytes, out);
    out = std::fill_n(out, layout.gap, record.tailGapByte);
  }
  *out = 0;
  return fitted + 1;
}

int32_t ShortestRevolutionForTracks(const Program& p, int lastTrack) {
  double longestNeeded = 0;
  for (int track = 1; track <= lastTrack && track < kTrackTableSize; ++track) {
    const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
    const double bytes = record.sectorCount * (SectorBytes(record) + kMinGap);
    longestNeeded = std::max(longestNeeded, bytes * ByteUs(record));
  }
  return static_cast<int32_t>(std::ceil(longestNeeded));
}

}  // namespace dw
