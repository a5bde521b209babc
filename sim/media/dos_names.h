#pragma once
// File names as the DOS reads them from OPEN and from commands:
//   [@][drive]:name[,type][,mode]   type P S U L (REL) D, mode R W A M
// and the patterns "*" (anything from here on) and "?" (any one character).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;
using PaddedName = std::array<uint8_t, 16>;

inline constexpr uint8_t kNamePad = 0xA0;

struct OpenRequest {
  bool replace = false;  // "@": save with replace
  int drive = 0;
  Bytes name;
  uint8_t type = 0;  // 'P', 'S', 'U', 'L', 'D' or 0 when not given
  uint8_t mode = 0;  // 'R', 'W', 'A', 'M' or 0 when not given
};

// Splits off a trailing CR; the DOS ignores it.
Bytes WithoutCr(std::span<const uint8_t> bytes);
OpenRequest ParseOpenRequest(std::span<const uint8_t> bytes);
// "[drive]:rest" -> rest, with the drive number; no colon -> the whole text, drive 0.
Bytes AfterDrive(std::span<const uint8_t> bytes, int& drive);
std::vector<Bytes> SplitAt(std::span<const uint8_t> bytes, uint8_t separator);

bool HasWildcards(std::span<const uint8_t> name);
PaddedName PadName(std::span<const uint8_t> name);
// A directory name without its $A0 padding.
Bytes Unpadded(std::span<const uint8_t> name);
bool NameMatches(std::span<const uint8_t> pattern, std::span<const uint8_t> paddedName);

// File type number (0 DEL .. 4 REL) of a type letter; nullopt for none or an unknown one.
std::optional<int> TypeOfLetter(uint8_t letter);

}  // namespace sim
