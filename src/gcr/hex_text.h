#pragma once
// Bytes as the GCR tools list them: two upper-case hexadecimal digits, leading zero kept.

#include <cstdint>
#include <string>

namespace dw {

inline std::string HexByte(uint8_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

}  // namespace dw
