#pragma once
// Numbers as the GCR tools show and read them.

#include <cstdint>
#include <string>

namespace dw {

// Two upper-case hexadecimal digits, leading zero kept.
inline std::string HexByte(uint8_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

// The value of a digit in base 2, 10 or 16 (either case); -1 when it is none.
inline int DigitValue(char c, int base) {
  int digit = base;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  return digit < base ? digit : -1;
}

}  // namespace dw
