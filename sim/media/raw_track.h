#pragma once
// A raw GCR track is a ring of bits: what passes under the head in one revolution, with no start
// or end. Positions are bit numbers 0 .. 8 x size - 1 and wrap around. The read electronics
// report SYNC after 10 or more one bits; the first zero bit after them starts byte alignment, so
// blocks can sit at any bit position of a track read from a real disk.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

inline constexpr int kSyncMinOneBits = 10;

class RawTrackBits {
 public:
  explicit RawTrackBits(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t BitCount() const { return bytes_.size() * 8; }
  // The bit position just behind the next sync (its first zero bit), searching from fromBit
  // for at most maxBits. A sync already running at fromBit counts only from fromBit on. The
  // result is not wrapped: it may lie beyond BitCount() when the search passed the track's end.
  std::optional<size_t> NextSyncEnd(size_t fromBit, size_t maxBits) const;
  // True when the track holds any sync at all.
  bool HasSync() const;
  // Bytes starting at a bit position, wrapping around the track.
  void Read(size_t bitPos, std::span<uint8_t> out) const;

 private:
  uint8_t ByteAt(size_t bitPos) const;
  std::span<const uint8_t> bytes_;
};

// Writes bytes into a track at a bit position, wrapping around, as the head writes them.
void WriteRawBits(std::vector<uint8_t>& track, size_t bitPos, std::span<const uint8_t> bytes);

}  // namespace sim
