#include "tools/track_revolution.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "gcr/gcr_group.h"

namespace dw {

namespace {

constexpr uint8_t kSyncByte = 0xFF;
// Every header block starts with the GCR byte $52 (its plain byte $08).
constexpr uint8_t kHeaderFirstGcrByte = 0x52;
// A stretch this long behind a sync must come round again for the track to repeat there: a
// header, its gap, the data block's sync and the start of the data block. The header names its
// sector, so tracks whose data blocks are all alike (a formatted, empty disk) still repeat only
// once a revolution.
constexpr int64_t kMatchBytes = 64;
// Enough places to try on any track: most tracks repeat at their first header.
constexpr size_t kMostAnchors = 64;
// Gap bytes kept ahead of the first header's sync: where a write of the track starts and, a
// turn later, ends.
constexpr int64_t kLeadGapBytes = 4;
constexpr size_t kPlainSectorByte = 2;
// A sync a splice may cut into: four bytes of it stay, more than the ten 1 bits of a mark.
constexpr int64_t kShortestSplicedSync = 5;

bool IsSyncEnd(std::span<const uint8_t> raw, size_t at) {
  return at > 0 && raw[at - 1] == kSyncByte && raw[at] != kSyncByte;
}

// Places right behind a sync, where the read electronics start each byte afresh, so that the
// bytes there are framed alike on every turn: behind the headers first, then the other syncs.
std::vector<int64_t> Anchors(std::span<const uint8_t> raw) {
  std::vector<int64_t> headers;
  std::vector<int64_t> others;
  for (size_t at = 1; at < raw.size(); ++at) {
    if (!IsSyncEnd(raw, at)) continue;
    (raw[at] == kHeaderFirstGcrByte ? headers : others).push_back(static_cast<int64_t>(at));
  }
  headers.insert(headers.end(), others.begin(), others.end());
  if (headers.size() > kMostAnchors) headers.resize(kMostAnchors);
  return headers;
}

bool StretchRepeats(std::span<const uint8_t> raw, int64_t at, int64_t period) {
  const auto first = raw.begin() + at;
  return std::equal(first, first + kMatchBytes, first + period);
}

// The share of the bytes from the anchor on that come round again after the period: on a disk
// that reads alike on every turn all of them do at the true period.
double Agreement(std::span<const uint8_t> raw, int64_t at, int64_t period) {
  const int64_t overlap = std::ssize(raw) - period - at;
  int64_t same = 0;
  for (int64_t k = 0; k < overlap; ++k) {
    same += raw[static_cast<size_t>(at + k)] == raw[static_cast<size_t>(at + period + k)];
  }
  return overlap > 0 ? static_cast<double>(same) / static_cast<double>(overlap) : 0.0;
}

struct Repeat {
  int64_t at;
  int64_t period;
};

std::optional<Repeat> FindRepeat(std::span<const uint8_t> raw, int64_t expected, int64_t shortest,
                                 int64_t longest) {
  const int64_t length = std::ssize(raw);
  for (int64_t at : Anchors(raw)) {
    std::optional<Repeat> best;
    double bestAgreement = -1.0;
    for (int64_t period = shortest; period <= longest && at + period + kMatchBytes <= length;
         ++period) {
      if (!StretchRepeats(raw, at, period)) continue;
      const double agreement = Agreement(raw, at, period);
      const bool closer = best && expected > 0 &&
                          std::llabs(period - expected) < std::llabs(best->period - expected);
      if (agreement > bestAgreement || (agreement == bestAgreement && closer)) {
        best = Repeat{at, period};
        bestAgreement = agreement;
      }
    }
    if (best) return best;
  }
  return std::nullopt;
}

uint8_t ByteAt(const std::vector<uint8_t>& track, int64_t at) {
  const int64_t length = std::ssize(track);
  return track[static_cast<size_t>(((at % length) + length) % length)];
}

// The sector a header block names, from the first GCR group behind its sync.
int HeaderSector(const std::vector<uint8_t>& track, int64_t at) {
  std::array<uint8_t, kGcrGroupBytes> group{};
  for (int k = 0; k < kGcrGroupBytes; ++k) group[static_cast<size_t>(k)] = ByteAt(track, at + k);
  return DecodeGcrGroup(group, kGcrDecode)[kPlainSectorByte];
}

// Turns the revolution to start a few gap bytes ahead of the sync of the header with the lowest
// sector number (sector 0 on a whole track): behind the last sector's tail gap.
void StartBeforeFirstHeader(std::vector<uint8_t>& track) {
  const int64_t length = std::ssize(track);
  std::optional<int64_t> header;
  int lowest = 256;
  for (int64_t at = 0; at < length; ++at) {
    if (ByteAt(track, at - 1) != kSyncByte || ByteAt(track, at) != kHeaderFirstGcrByte) continue;
    const int sector = HeaderSector(track, at);
    if (sector < lowest) {
      lowest = sector;
      header = at;
    }
  }
  if (!header) return;
  int64_t syncStart = *header - 1;
  for (int64_t k = 0; k < length && ByteAt(track, syncStart - 1) == kSyncByte; ++k) --syncStart;
  const uint8_t filler = ByteAt(track, syncStart - 1);
  int64_t gap = 0;
  while (gap < 2 * kLeadGapBytes && ByteAt(track, syncStart - 1 - gap) == filler) ++gap;
  int64_t start = syncStart - std::min(kLeadGapBytes, gap / 2);
  // Without a gap the splice goes into the sync: its second byte, so that the first one stays
  // a whole sync byte ahead of what is left of the mark.
  if (gap < 2 && *header - syncStart >= kShortestSplicedSync) start = syncStart + 1;
  std::rotate(track.begin(), track.begin() + ((start % length) + length) % length, track.end());
}

// A $00 byte is eight bit cells without a flux change: the splice where a write ended, or a
// drop-out. The drive code takes $00 as the end of the bytes to write, so a track holding one
// could not be written back at all; it takes the byte before it instead (the gap's filler at a
// splice).
int FillFluxGaps(std::vector<uint8_t>& track) {
  const auto last = std::find_if(track.rbegin(), track.rend(), [](uint8_t b) { return b != 0; });
  if (last == track.rend()) return 0;
  uint8_t before = *last;
  int filled = 0;
  for (uint8_t& byte : track) {
    if (byte == 0) {
      byte = before;
      ++filled;
    }
    before = byte;
  }
  return filled;
}

}  // namespace

TrackRevolution CutOneRevolution(std::span<const uint8_t> raw, int64_t expected, int64_t fallback,
                                 int64_t shortest, int64_t longest) {
  TrackRevolution revolution;
  if (const std::optional<Repeat> repeat = FindRepeat(raw, expected, shortest, longest)) {
    const auto first = raw.begin() + repeat->at;
    revolution.bytes.assign(first, first + repeat->period);
    revolution.repeated = true;
    revolution.fluxGapsFilled = FillFluxGaps(revolution.bytes);
    StartBeforeFirstHeader(revolution.bytes);
    return revolution;
  }
  const auto kept = static_cast<size_t>(std::clamp<int64_t>(fallback, 0, std::ssize(raw)));
  revolution.bytes.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(kept));
  revolution.fluxGapsFilled = FillFluxGaps(revolution.bytes);
  return revolution;
}

}  // namespace dw
