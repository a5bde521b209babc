#include "sim/media/gcr_code.h"

#include <algorithm>

namespace sim::gcr {

void Encode(std::span<const uint8_t> plain, std::vector<uint8_t>& out) {
  const size_t groups = plain.size() / 4;
  const size_t start = out.size();
  out.resize(start + groups * 5);
  const uint8_t* in = plain.data();
  uint8_t* to = out.data() + start;
  for (size_t group = 0; group < groups; ++group, in += 4, to += 5) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 4; ++i) {
      bits =
          (bits << 10) | (uint64_t{kNibbleToCode[in[i] >> 4]} << 5) | kNibbleToCode[in[i] & 0x0F];
    }
    for (size_t i = 0; i < 5; ++i) to[i] = static_cast<uint8_t>(bits >> (32 - 8 * i));
  }
}

std::vector<uint8_t> Encode(std::span<const uint8_t> plain) {
  std::vector<uint8_t> out;
  out.reserve(plain.size() / 4 * 5);
  Encode(plain, out);
  return out;
}

bool Decode(std::span<const uint8_t> gcr, std::span<uint8_t> plain) {
  bool valid = true;
  const size_t groups = std::min(plain.size() / 4, gcr.size() / 5);
  const uint8_t* in = gcr.data();
  uint8_t* to = plain.data();
  for (size_t group = 0; group < groups; ++group, in += 5, to += 4) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 5; ++i) bits = (bits << 8) | in[i];
    for (size_t i = 0; i < 4; ++i) {
      const int high = kCodeToNibble[(bits >> (35 - 10 * i)) & 0x1F];
      const int low = kCodeToNibble[(bits >> (30 - 10 * i)) & 0x1F];
      valid = valid && high != kInvalidCode && low != kInvalidCode;
      to[i] = static_cast<uint8_t>(((high < 0 ? 0 : high) << 4) | (low < 0 ? 0 : low));
    }
  }
  return valid;
}

}  // namespace sim::gcr
