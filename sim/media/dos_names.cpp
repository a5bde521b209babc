#include "sim/media/dos_names.h"

#include <algorithm>

namespace sim {
namespace {

constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kReplace = '@';
constexpr uint8_t kColon = ':';
constexpr uint8_t kComma = ',';
constexpr uint8_t kAnyRest = '*';
constexpr uint8_t kAnyOne = '?';
constexpr size_t kNameLength = 16;

struct TypeLetter {
  uint8_t letter;
  int type;
};
constexpr std::array<TypeLetter, 5> kTypeLetters = {{
    {'D', 0},
    {'S', 1},
    {'P', 2},
    {'U', 3},
    {'L', 4},
}};
constexpr std::array<uint8_t, 4> kModeLetters = {'R', 'W', 'A', 'M'};

}  // namespace

Bytes WithoutCr(std::span<const uint8_t> bytes) {
  Bytes result(bytes.begin(), bytes.end());
  while (!result.empty() && result.back() == kCr) result.pop_back();
  return result;
}

std::vector<Bytes> SplitAt(std::span<const uint8_t> bytes, uint8_t separator) {
  std::vector<Bytes> parts(1);
  for (uint8_t byte : bytes) {
    if (byte == separator) {
      parts.emplace_back();
    } else {
      parts.back().push_back(byte);
    }
  }
  return parts;
}

Bytes AfterDrive(std::span<const uint8_t> bytes, int& drive) {
  drive = 0;
  const auto colon = std::find(bytes.begin(), bytes.end(), kColon);
  if (colon == bytes.end()) return Bytes(bytes.begin(), bytes.end());
  if (colon != bytes.begin() && colon[-1] >= '0' && colon[-1] <= '9') drive = colon[-1] - '0';
  return Bytes(colon + 1, bytes.end());
}

OpenRequest ParseOpenRequest(std::span<const uint8_t> bytes) {
  OpenRequest request;
  Bytes text = WithoutCr(bytes);
  if (!text.empty() && text.front() == kReplace) {
    request.replace = true;
    text.erase(text.begin());
  }
  const std::vector<Bytes> parts = SplitAt(AfterDrive(text, request.drive), kComma);
  request.name = parts.front();
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    const uint8_t letter = parts[i].front();
    if (std::find(kModeLetters.begin(), kModeLetters.end(), letter) != kModeLetters.end()) {
      request.mode = letter;
    } else if (TypeOfLetter(letter)) {
      request.type = letter;
    }
  }
  return request;
}

bool HasWildcards(std::span<const uint8_t> name) {
  return std::any_of(name.begin(), name.end(),
                     [](uint8_t c) { return c == kAnyRest || c == kAnyOne; });
}

PaddedName PadName(std::span<const uint8_t> name) {
  PaddedName padded;
  padded.fill(kNamePad);
  std::copy_n(name.begin(), std::min(name.size(), kNameLength), padded.begin());
  return padded;
}

Bytes Unpadded(std::span<const uint8_t> name) {
  const auto end = std::find(name.begin(), name.end(), kNamePad);
  return Bytes(name.begin(), end);
}

bool NameMatches(std::span<const uint8_t> pattern, std::span<const uint8_t> paddedName) {
  const Bytes name = Unpadded(paddedName);
  for (size_t i = 0;; ++i) {
    if (i == pattern.size()) return i == name.size();
    if (pattern[i] == kAnyRest) return true;
    if (i == name.size()) return false;
    if (pattern[i] != kAnyOne && pattern[i] != name[i]) return false;
  }
}

std::optional<int> TypeOfLetter(uint8_t letter) {
  for (const TypeLetter& entry : kTypeLetters) {
    if (entry.letter == letter) return entry.type;
  }
  return std::nullopt;
}

}  // namespace sim
