#pragma once
// The 4-to-5 group code of the GCR drives: each nibble is written as 5 bits, high nibble first,
// so 4 plain bytes become 5 bytes on the disk. The table is written once; the decoder is derived.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace sim::gcr {

inline constexpr std::array<uint8_t, 16> kNibbleToCode = {
    0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17, 0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15,
};

inline constexpr int kInvalidCode = -1;

inline constexpr std::array<int8_t, 32> kCodeToNibble = [] {
  std::array<int8_t, 32> table{};
  table.fill(kInvalidCode);
  for (int nibble = 0; nibble < 16; ++nibble) {
    table[kNibbleToCode[nibble]] = static_cast<int8_t>(nibble);
  }
  return table;
}();

static_assert([] {
  for (int nibble = 0; nibble < 16; ++nibble) {
    if (kCodeToNibble[kNibbleToCode[nibble]] != nibble) return false;
  }
  return true;
}());

// Appends the GCR form of plain (whose size must be a multiple of 4) to out.
void Encode(std::span<const uint8_t> plain, std::vector<uint8_t>& out);
std::vector<uint8_t> Encode(std::span<const uint8_t> plain);

// Decodes gcr (5 bytes per 4 plain bytes) into plain. Codes outside the table decode as nibble 0;
// the result is false when there was one.
bool Decode(std::span<const uint8_t> gcr, std::span<uint8_t> plain);

}  // namespace sim::gcr
