#include "sim/media/raw_track.h"

#include <array>
#include <cstring>

namespace sim {
namespace {

// Ones at the top and at the bottom of each byte value: a sync is counted across byte edges.
constexpr std::array<uint8_t, 256> kLeadingOnes = [] {
  std::array<uint8_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    int ones = 0;
    while (ones < 8 && (value << ones) & 0x80) ++ones;
    table[static_cast<size_t>(value)] = static_cast<uint8_t>(ones);
  }
  return table;
}();

constexpr std::array<uint8_t, 256> kTrailingOnes = [] {
  std::array<uint8_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    int ones = 0;
    while (ones < 8 && (value >> ones) & 1) ++ones;
    table[static_cast<size_t>(value)] = static_cast<uint8_t>(ones);
  }
  return table;
}();

}  // namespace

uint8_t RawTrackBits::ByteAt(size_t bitPos) const {
  const size_t size = bytes_.size();
  const size_t index = (bitPos / 8) % size;
  const unsigned shift = bitPos % 8;
  if (shift == 0) return bytes_[index];
  const unsigned pair = (static_cast<unsigned>(bytes_[index]) << 8) | bytes_[(index + 1) % size];
  return static_cast<uint8_t>(pair >> (8 - shift));
}

void RawTrackBits::Read(size_t bitPos, std::span<uint8_t> out) const {
  if (bytes_.empty()) {
    std::memset(out.data(), 0, out.size());
    return;
  }
  const size_t index = (bitPos / 8) % bytes_.size();
  if (bitPos % 8 == 0 && index + out.size() <= bytes_.size()) {
    std::memcpy(out.data(), bytes_.data() + index, out.size());
    return;
  }
  for (size_t i = 0; i < out.size(); ++i) out[i] = ByteAt(bitPos + 8 * i);
}

std::optional<size_t> RawTrackBits::NextSyncEnd(size_t fromBit, size_t maxBits) const {
  if (bytes_.empty()) return std::nullopt;
  const size_t size = bytes_.size();
  const uint8_t* data = bytes_.data();
  const uint8_t* leadingOnes = kLeadingOnes.data();
  const uint8_t* trailingOnes = kTrailingOnes.data();
  // Whole bytes are scanned; a run of ten ones inside one byte is impossible, so counting the
  // ones that reach each byte boundary finds every sync.
  size_t index = fromBit / 8;
  size_t wrapped = index % size;
  const unsigned skip = fromBit % 8;
  size_t run = 0;
  for (size_t scanned = 0; scanned <= maxBits + 8; scanned += 8, ++index) {
    uint8_t byte = data[wrapped];
    if (++wrapped == size) wrapped = 0;
    if (scanned == 0 && skip != 0) byte &= static_cast<uint8_t>(0xFF >> skip);
    const size_t leading = leadingOnes[byte];
    if (leading < 8 && run + leading >= kSyncMinOneBits) {
      const size_t end = index * 8 + leading;
      if (end - fromBit > maxBits) return std::nullopt;
      return end;
    }
    run = byte == 0xFF ? run + 8 : trailingOnes[byte];
  }
  return std::nullopt;
}

bool RawTrackBits::HasSync() const {
  return NextSyncEnd(0, BitCount() + 16).has_value();
}

void WriteRawBits(std::vector<uint8_t>& track, size_t bitPos, std::span<const uint8_t> bytes) {
  const size_t size = track.size();
  if (size == 0) return;
  const unsigned shift = bitPos % 8;
  size_t index = (bitPos / 8) % size;
  for (uint8_t byte : bytes) {
    if (shift == 0) {
      track[index] = byte;
    } else {
      const size_t next = (index + 1) % size;
      const uint8_t keepHigh = static_cast<uint8_t>(0xFF << (8 - shift));
      track[index] = static_cast<uint8_t>((track[index] & keepHigh) | (byte >> shift));
      track[next] = static_cast<uint8_t>((track[next] & ~keepHigh) | (byte << (8 - shift)));
    }
    index = (index + 1) % size;
  }
}

}  // namespace sim
