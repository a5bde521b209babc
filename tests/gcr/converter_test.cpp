// "HEX -> GCR" and "GCR -> HEX" from the menu: what the user types, what the log shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "gcr_test_support.h"
#include "tool_test_support.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

// Runs one converter per answer and returns the log of each.
std::vector<Lines> Convert(int command, const std::vector<std::optional<std::string>>& answers) {
  Harness h("8=1541-II+");
  for (const auto& answer : answers) {
    h.desk.QueueText(answer);
    h.desk.QueueCommand(command);
  }
  h.Run();
  for (const TextRequest& request : h.desk.textRequests()) {
    EXPECT_EQ(request.title, "Diskwright");
    EXPECT_EQ(request.prompt,
              command == kCmdHexToGcr ? "Convert HEX to GCR" : "Convert GCR to HEX");
    EXPECT_EQ(request.defaultText, "");
  }
  return tooltest::CommandLogs(h.desk);
}

// Bytes first..end-1 as the listing shows them.
std::string HexRow(const std::vector<uint8_t>& bytes, size_t first, size_t end) {
  std::string row;
  for (size_t i = first; i < end; ++i) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", bytes[i]);
    row += text;
  }
  return row;
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(HexToGcr, EncodesTheTypedBytesAndShowsOnlyTheGcrBytesTheyNeed) {
  const std::vector<Lines> logs =
      Convert(kCmdHexToGcr, {"08 00 00 00", "07", "1 2 3", Repeated("F0 ", 16) + "5A"});
  ASSERT_EQ(logs.size(), 4u);
  EXPECT_EQ(logs[0], (Lines{"Convert #HEX=$4 To #GCR=$5", "HEX: 08 00 00 00 ",
                            "$000: 52 54 A5 29 4A ", "-- done --"}));
  // 07 is encoded as the group 07 00 00 00, of which two bytes carry it.
  EXPECT_EQ(logs[1],
            (Lines{"Convert #HEX=$1 To #GCR=$2", "HEX: 07 ", "$000: 55 D4 ", "-- done --"}));
  // Three bytes: 3.75 GCR bytes, so 4 are shown.
  EXPECT_EQ(logs[2][0], "Convert #HEX=$3 To #GCR=$4");
  EXPECT_EQ(logs[2][2], "$000: " + HexRow(gcrtest::ReferenceEncode({1, 2, 3, 0}), 0, 4));
  // 17 bytes: 22 GCR bytes, a line of 16 and one of 6.
  std::vector<uint8_t> plain(20, 0);
  std::fill_n(plain.begin(), 16, 0xF0);
  plain[16] = 0x5A;
  const std::vector<uint8_t> gcr = gcrtest::ReferenceEncode(plain);
  EXPECT_EQ(logs[3],
            (Lines{"Convert #HEX=$11 To #GCR=$16", "HEX: " + Repeated("F0 ", 16) + "5A ",
                   "$000: " + HexRow(gcr, 0, 16), "$010: " + HexRow(gcr, 16, 22), "-- done --"}));
}

TEST(GcrToHex, DecodesTheTypedGroups) {
  const std::vector<Lines> logs = Convert(kCmdGcrToHex, {"52 54 A5 29 4A", "55 D4"});
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0], (Lines{"Convert #GCR=$5 To #HEX=$4", "GCR: 52 54 A5 29 4A ",
                            "$000: 08 00 00 00 ", "-- done --"}));
  // Two GCR bytes stand for 1.6 plain bytes: the first two are shown.
  EXPECT_EQ(logs[1][2], "$000: 07 00 ");
}

TEST(ConverterInput, FieldsAreReadAsTheDosReadsHexNumbers) {
  // Several blanks are one; a field's leading hex digits count and its low 8 bits are kept;
  // "$0A" (a dollar of its own) and "xyz" are 0.
  const std::vector<Lines> logs = Convert(
      kCmdHexToGcr, {"  1FF   $0A xyz 4g  ", "", "   ", std::nullopt, "fffffffffffffffff1"});
  ASSERT_EQ(logs.size(), 5u);
  EXPECT_EQ(logs[0][0], "Convert #HEX=$4 To #GCR=$5");
  EXPECT_EQ(logs[0][1], "HEX: FF 00 00 04 ");
  // Nothing typed, only blanks, or the requester cancelled: no output at all.
  EXPECT_EQ(logs[1], Lines{"-- done --"});
  EXPECT_EQ(logs[2], Lines{"-- done --"});
  EXPECT_EQ(logs[3], Lines{"-- done --"});
  EXPECT_EQ(logs[4][1], "HEX: F1 ");
}

TEST(ConverterInput, TakesFourHundredFieldsAndSixteenHundredCharacters) {
  const std::string groups = Repeated("52 54 A5 29 4A ", 80);  // 400 fields
  const std::vector<Lines> logs = Convert(
      kCmdGcrToHex, {groups,
                     // Field 401 and on are not read.
                     groups + "FF FF FF",
                     // Empty fields count towards the 400: the last value lies in field 401.
                     Repeated(" ", 400) + "33",
                     // The answer is cut after 1600 characters, inside the last field.
                     Repeated("0", 1599) + "AB", Repeated("0", 1598) + "AB"});
  ASSERT_EQ(logs.size(), 5u);
  // 400 GCR bytes ask for 320 plain bytes, but the group that would end on the last two bytes
  // of the buffer is not decoded: 79 groups, the last 4 bytes stay 00.
  const Lines& full = logs[0];
  ASSERT_EQ(full.size(), 2u + 20u + 1u);
  EXPECT_EQ(full[0], "Convert #GCR=$190 To #HEX=$140");
  EXPECT_EQ(full[2], "$000: " + Repeated("08 00 00 00 ", 4));
  EXPECT_EQ(full[21], "$130: " + Repeated("08 00 00 00 ", 3) + "00 00 00 00 ");
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_EQ(logs[2], Lines{"-- done --"});
  EXPECT_EQ(logs[3][1], "GCR: 0A ");
  EXPECT_EQ(logs[4][1], "GCR: AB ");
}

}  // namespace
}  // namespace dw
