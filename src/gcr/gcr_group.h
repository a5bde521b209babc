#pragma once
// The Commodore 4-to-5 group code and the packing of one group: 4 plain bytes are 8 nibbles,
// each written as a 5-bit code, high nibble first, the first code in the most significant
// bits; the 40 bits are 5 bytes on the disk. The code never holds more than two 0 bits in a
// row, which keeps the read clock locked, and never ten 1 bits, which only a sync mark has.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace dw {

// Nibble to 5-bit code.
inline constexpr std::array<uint8_t, 16> kGcrEncode{
    0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17, 0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15,
};

// 5-bit code to nibble. The 16 codes the encoder never makes give nibble 0: the drive's own
// decoder reads them like the code of nibble 0, and so does the program.
constexpr std::array<uint8_t, 32> InvertGcrCode(const std::array<uint8_t, 16>& encode) {
  std::array<uint8_t, 32> decode{};
  for (size_t nibble = 0; nibble < encode.size(); ++nibble) {
    decode[encode[nibble]] = static_cast<uint8_t>(nibble);
  }
  return decode;
}

inline constexpr std::array<uint8_t, 32> kGcrDecode = InvertGcrCode(kGcrEncode);

constexpr bool GcrCodeRoundTrips() {
  for (size_t nibble = 0; nibble < kGcrEncode.size(); ++nibble) {
    if (kGcrEncode[nibble] > 31 || kGcrDecode[kGcrEncode[nibble]] != nibble) return false;
  }
  return true;
}
static_assert(GcrCodeRoundTrips(), "every nibble must come back from its code");

inline constexpr int kGcrGroupPlainBytes = 4;
inline constexpr int kGcrGroupBytes = 5;

// The tables are taken as spans so that the codec can run on the copies the program holds;
// both must be at least as long as kGcrEncode and kGcrDecode.
constexpr std::array<uint8_t, kGcrGroupBytes> EncodeGcrGroup(
    std::span<const uint8_t, kGcrGroupPlainBytes> plain, std::span<const uint8_t> encode) {
  uint64_t bits = 0;
  for (uint8_t byte : plain) {
    bits = (bits << 5) | (encode[byte >> 4] & 31u);
    bits = (bits << 5) | (encode[byte & 15] & 31u);
  }
  std::array<uint8_t, kGcrGroupBytes> group{};
  for (int k = 0; k < kGcrGroupBytes; ++k) {
    group[static_cast<size_t>(k)] = static_cast<uint8_t>(bits >> (32 - 8 * k));
  }
  return group;
}

constexpr std::array<uint8_t, kGcrGroupPlainBytes> DecodeGcrGroup(
    std::span<const uint8_t, kGcrGroupBytes> gcr, std::span<const uint8_t> decode) {
  uint64_t bits = 0;
  for (uint8_t byte : gcr) bits = (bits << 8) | byte;
  std::array<uint8_t, kGcrGroupPlainBytes> plain{};
  for (int k = 0; k < kGcrGroupPlainBytes; ++k) {
    const auto high = decode[(bits >> (35 - 10 * k)) & 31];
    const auto low = decode[(bits >> (30 - 10 * k)) & 31];
    plain[static_cast<size_t>(k)] = static_cast<uint8_t>((high << 4) | low);
  }
  return plain;
}

// Byte 0 of a group depends only on the first plain byte: every header block ($08 ...)
// begins with the GCR byte $52.
static_assert(EncodeGcrGroup(std::array<uint8_t, 4>{0x08, 0x00, 0x00, 0x00}, kGcrEncode) ==
              std::array<uint8_t, 5>{0x52, 0x54, 0xA5, 0x29, 0x4A});
static_assert(DecodeGcrGroup(std::array<uint8_t, 5>{0x52, 0x54, 0xA5, 0x29, 0x4A}, kGcrDecode) ==
              std::array<uint8_t, 4>{0x08, 0x00, 0x00, 0x00});

}  // namespace dw
