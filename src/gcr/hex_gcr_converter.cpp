#include "gcr/hex_gcr_converter.h"

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/log.h"
#include "gcr/codec.h"
#include "gcr/hex_text.h"

namespace dw {

namespace {

constexpr size_t kMaxInputCharacters = 1600;
constexpr int kMaxFields = 400;
constexpr size_t kBytesPerListingLine = 16;

// One row of byte values as the user typed it, and the echo of what was taken.
struct TypedBytes {
  std::vector<uint8_t> values;
  std::string echo;
};

// The leading hexadecimal digits of a field; none give 0. Only the low 8 bits are kept, so a
// long field cannot overflow.
uint8_t LeadingHexByte(const std::string& field) {
  unsigned value = 0;
  for (char c : field) {
    const int digit = DigitValue(c, 16);
    if (digit < 0) break;
    value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFF;
  }
  return static_cast<uint8_t>(value);
}

// Fields are what lies between single blanks: two blanks in a row enclose an empty field, which
// is passed over but still counts towards the 400.
TypedBytes AskForBytes(Program& p, const std::string& prompt) {
  TypedBytes typed;
  std::optional<std::string> answer = p.desk.AskText({"Diskwright", prompt, std::string()});
  if (!answer) return typed;
  const std::string text = answer->substr(0, kMaxInputCharacters);
  size_t start = 0;
  for (int field = 1; field <= kMaxFields && start <= text.size(); ++field) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    const uint8_t value = LeadingHexByte(piece);
    typed.values.push_back(value);
    typed.echo += HexByte(value) + " ";
  }
  return typed;
}

int RoundUpToGroup(int count) {
  return (count + 3) / 4 * 4;
}

void LogListing(Program& p, std::span<const uint8_t> bytes) {
  for (size_t first = 0; first < bytes.size(); first += kBytesPerListingLine) {
    char head[32];
    std::snprintf(head, sizeof head, "$%03zX: ", first);
    std::string line = head;
    for (size_t i = first; i < bytes.size() && i < first + kBytesPerListingLine; ++i) {
      line += HexByte(bytes[i]) + " ";
    }
    LogLine(p, line);
  }
}

}  // namespace

void ConvertHexToGcr(Program& p) {
  p.PlainBuffer.assign(kMaxFields + 1, 0);
  p.GcrWritePos = 0;
  const TypedBytes typed = AskForBytes(p, "Convert HEX to GCR");
  const int count = static_cast<int>(typed.values.size());
  if (count == 0) return;
  std::copy(typed.values.begin(), typed.values.end(), p.PlainBuffer.begin());
  const int gcrCount = (count * 5 + 3) / 4;
  LogLine(p, "Convert #HEX=$" + UpperHex(static_cast<uint32_t>(count)) + " To #GCR=$" +
                 UpperHex(static_cast<uint32_t>(gcrCount)));
  LogLine(p, "HEX: " + typed.echo);
  // The last group is filled up with the cleared bytes behind the typed ones.
  GcrEncode(p, RoundUpToGroup(count));
  LogListing(p, std::span<const uint8_t>(p.GcrOutBuffer).first(static_cast<size_t>(gcrCount)));
}

void ConvertGcrToHex(Program& p) {
  // The typed bytes take the place of a reply; whatever the last exchange left there is gone.
  p.ReplyData.assign(kMaxFields + 1, 0);
  p.GcrReadPos = 0;
  const TypedBytes typed = AskForBytes(p, "Convert GCR to HEX");
  const int count = static_cast<int>(typed.values.size());
  if (count == 0) return;
  std::copy(typed.values.begin(), typed.values.end(), p.ReplyData.begin());
  const int hexCount = (count * 4 + 4) / 5;
  LogLine(p, "Convert #GCR=$" + UpperHex(static_cast<uint32_t>(count)) + " To #HEX=$" +
                 UpperHex(static_cast<uint32_t>(hexCount)));
  LogLine(p, "GCR: " + typed.echo);
  GcrDecode(p, RoundUpToGroup(hexCount));
  LogListing(p, std::span<const uint8_t>(p.PlainBuffer).first(static_cast<size_t>(hexCount)));
}

}  // namespace dw
