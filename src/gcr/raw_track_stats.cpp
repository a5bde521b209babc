#include "gcr/raw_track_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>

#include "gcr/zones.h"

namespace dw {

namespace {

// The drive counts the bytes that pass the head in a window of 35,555.6 microseconds while
// it reads the track, and appends the count (low byte first) behind the raw GCR bytes.
constexpr double kByteRateWindowUs = 35555.555555555555;
constexpr uint8_t kSyncByte = 0xFF;
constexpr int64_t kSlowestByteTimeUs = 32;  // zone 0: 4 MHz / 16 / 8 bits

// Half the distance of the byte time from zone 0's 32 microseconds, halves to the even
// neighbour (27 and 31 microseconds lie between zones). A track written by a drive turning
// slower than the reader is longer and its bytes come faster: a zone 3 track written at 294 rpm
// and read at 300 gives 25 microseconds, zone 4 by the rule, which no drive has. The zone is
// the fastest one then, so that nothing looks up a zone beyond the table.
uint8_t ZoneOfByteTime(int64_t byteTimeUs) {
  const int64_t distance = std::llabs(kSlowestByteTimeUs - byteTimeUs);
  int64_t zone = distance / 2;
  if (distance % 2 != 0 && zone % 2 != 0) ++zone;
  return static_cast<uint8_t>(std::min<int64_t>(zone, kZoneCount - 1));
}

bool IsSyncByte(std::span<const uint8_t> raw, int64_t at) {
  return at < std::ssize(raw) && raw[static_cast<size_t>(at)] == kSyncByte;
}

}  // namespace

void MeasureRawTrack(Program& p) {
  TrackStatsRecord& stats = p.TrackStats;
  stats = TrackStatsRecord{};
  const std::span<const uint8_t> raw(p.ReplyData);
  const int64_t length = std::ssize(raw);
  if (length <= 6) return;
  const int64_t count =
      raw[static_cast<size_t>(length - 1)] * 256 + raw[static_cast<size_t>(length - 2)];
  if (count == 0) return;

  const auto byteTimeUs = static_cast<int64_t>(std::floor(kByteRateWindowUs / count + 0.5));
  stats.bitrateZone = ZoneOfByteTime(byteTimeUs);
  stats.byteCapacity = static_cast<int64_t>(
      std::floor(p.RevolutionTimeUs / kByteRateWindowUs * static_cast<double>(count) + 0.5));

  // A sync end needs two $FF bytes before it. Only the first revolution is counted: the
  // read goes on past it and repeats the start of the track.
  for (int64_t i = 0; i <= stats.byteCapacity && i < length - 1; ++i) {
    if (IsSyncByte(raw, i) && IsSyncByte(raw, i + 1) && !IsSyncByte(raw, i + 2)) {
      ++stats.syncCount;
      i += 2;
    }
  }
}

}  // namespace dw
