// LOAD "$": the listing bytes as the drive sends them become the lines of the directory list.

#include <gtest/gtest.h>

#include "disk/directory.h"
#include "disk/prg_restore.h"
#include "prg_test_support.h"

namespace dw {
namespace {

using fake::Bench;
using fake::Bytes;

// Example A of the drive reference: an empty 1541 disk "TEST", ID "AB" (64 bytes).
std::vector<uint8_t> EmptyDiskListing() {
  std::vector<uint8_t> bytes{0x01, 0x04, 0x01, 0x01, 0x00, 0x00, 0x12, 0x22};
  for (uint8_t b : Bytes("TEST            \" AB 2A")) bytes.push_back(b);
  bytes.insert(bytes.end(), {0x00, 0x01, 0x01, 0x98, 0x02});
  for (uint8_t b : Bytes("BLOCKS FREE.             ")) bytes.push_back(b);
  bytes.insert(bytes.end(), {0x00, 0x00, 0x00});
  return bytes;
}

TEST(DirectoryListing, EmptyDiskGivesHeaderWithFormatAndFreeBlocks) {
  Bench bench;
  ASSERT_EQ(EmptyDiskListing().size(), 64u);
  bench.drive.files["$"] = EmptyDiskListing();
  ShowDirectory(bench.p);
  std::vector<std::string> expected{"0 \"TEST            \" AB 2A (1541 DISK)",
                                    "664 BLOCKS FREE.             "};
  EXPECT_EQ(bench.desk.directory(), expected);
  EXPECT_TRUE(bench.desk.log().empty());
  // The listing channel is closed at the end.
  ASSERT_FALSE(bench.drive.PacketsOf(0x02, 0).empty());
  EXPECT_EQ(bench.drive.packets.back()[0], 0x02);
}

TEST(DirectoryListing, FileLineKeepsTheDrivesSpacing) {
  Bench bench;
  // Example B of the drive reference: one closed 3-block PRG "FILE".
  std::vector<uint8_t> bytes = EmptyDiskListing();
  std::vector<uint8_t> fileLine{0x01, 0x01, 0x03, 0x00};
  for (uint8_t b : Bytes("   \"FILE\"             PRG  ")) fileLine.push_back(b);
  fileLine.push_back(0);
  ASSERT_EQ(fileLine.size(), 32u);
  // Before the free-blocks line, which then starts at 64; its count becomes 661 ($0295).
  bytes.insert(bytes.begin() + 32, fileLine.begin(), fileLine.end());
  bytes[66] = 0x95;
  bench.drive.files["$"] = bytes;
  ShowDirectory(bench.p);
  ASSERT_EQ(bench.desk.directory().size(), 3u);
  EXPECT_EQ(bench.desk.directory()[1], "3    \"FILE\"             PRG  ");
  EXPECT_EQ(bench.desk.directory()[2], "661 BLOCKS FREE.             ");
}

TEST(DirectoryListing, SixteenCharacterNamesAndLargeBlockCounts) {
  Bench bench;
  bench.drive.files["$"] = fake::Listing(
      "GAMES", "01 2A", {{1, "A"}, {12, "ABCDEFGHIJKLMNOP"}, {120, "BIG"}, {300, "HUGE"}}, 0);
  ShowDirectory(bench.p);
  // The drive's 27-byte field: one more trailing blank for each leading blank less.
  std::vector<std::string> expected{
      "0 \"GAMES           \" 01 2A (1541 DISK)", "1    \"A\"                PRG  ",
      "12   \"ABCDEFGHIJKLMNOP\" PRG   ",         "120  \"BIG\"              PRG    ",
      "300  \"HUGE\"             PRG    ",        "0 BLOCKS FREE.             ",
  };
  EXPECT_EQ(bench.desk.directory(), expected);
}

TEST(DirectoryListing, DoubleSidedDiskInA1571IsNamedInTheHeader) {
  Bench bench;
  bench.p.DriveFamily = kFamily1571;
  bench.drive.memory[0x02AC] = 0x47;
  bench.drive.files["$"] = fake::Listing("DS", "AB 2A", {}, 1328);
  ShowDirectory(bench.p);
  ASSERT_EQ(bench.desk.directory().size(), 2u);
  EXPECT_EQ(bench.desk.directory()[0], "0 \"DS              \" AB 2A (1571 DISK)");
  EXPECT_EQ(bench.p.DiskFormat, kDisk1571DoubleSided);
}

TEST(DirectoryListing, DriveErrorLeavesTheListEmptyAndLogsTheMessage) {
  Bench bench;
  bench.desk.AddDirectoryLine("stale line from before");
  // No disk in a 1541: the "$" open fails with a read error on track 18.
  bench.drive.errorMessages.push_back("21,READ ERROR,18,00");
  ShowDirectory(bench.p);
  EXPECT_TRUE(bench.desk.directory().empty());
  EXPECT_TRUE(bench.Logged("21,READ ERROR,18,00"));
  EXPECT_EQ(bench.p.DosErrorFlag, 1);
  // No listing read after the error, but the channel is still closed.
  EXPECT_EQ(bench.drive.PacketsOf(0x04, 0).size(), 1u);
  EXPECT_EQ(bench.drive.PacketsOf(0x02, 0).size(), 1u);
}

TEST(DirectoryListing, ReplyOfTwentyBytesOrFewerIsNoListing) {
  Bench bench;
  // 2 address bytes and 20 listing bytes: one short line that would otherwise parse.
  std::vector<uint8_t> bytes{0x01, 0x04, 0x01, 0x01, 0x05, 0x00};
  for (uint8_t b : Bytes("ABCDEFGHIJKLMN")) bytes.push_back(b);
  bytes.insert(bytes.end(), {0x00, 0x00, 0x00});
  bytes.resize(22, 0);
  bench.drive.files["$"] = bytes;
  ShowDirectory(bench.p);
  EXPECT_TRUE(bench.desk.directory().empty());

  bytes.insert(bytes.end() - 2, 'O');  // 21 listing bytes
  bench.drive.files["$"] = bytes;
  ShowDirectory(bench.p);
  EXPECT_EQ(bench.desk.directory(), std::vector<std::string>{"5 ABCDEFGHIJKLMNO (1541 DISK)"});
}

// The reads of the listing on secondary address 0 after the load address, by their count.
std::vector<int> ListingReads(const Bench& bench) {
  std::vector<int> counts;
  for (const auto& packet : bench.drive.PacketsOf(0x04, 0))
    counts.push_back(packet[4] * 256 + packet[5]);
  counts.erase(counts.begin());
  return counts;
}

TEST(DirectoryListing, ListingLongerThanOneReadArrivesWhole) {
  Bench bench;
  // 300 file lines of 32 bytes: longer than a 1581 directory, read in two pieces.
  std::vector<fake::ListedFile> files;
  for (int i = 0; i < 300; ++i) files.push_back({i % 9 + 1, "F" + std::to_string(i)});
  bench.drive.files["$"] = fake::Listing("LONG", "AB 2A", files, 5);
  ShowDirectory(bench.p);
  const auto& lines = bench.desk.directory();
  ASSERT_EQ(lines.size(), 1u + 300u + 1u);
  EXPECT_EQ(lines[0], "0 \"LONG            \" AB 2A (1541 DISK)");
  EXPECT_EQ(lines[249], "6    \"F248\"             PRG  ");
  EXPECT_EQ(lines[300], "3    \"F299\"             PRG  ");
  EXPECT_EQ(lines[301], "5 BLOCKS FREE.             ");
  EXPECT_EQ(ListingReads(bench), (std::vector<int>{8000, 8000}));
  EXPECT_TRUE(bench.desk.log().empty());
}

TEST(DirectoryListing, ListingWithoutEndIsCutAndThenRestoresNothing) {
  Bench bench;
  std::vector<fake::ListedFile> files(2100, {1, "F"});
  bench.drive.files["$"] = fake::Listing("ENDLESS", "AB 2A", files, 600);
  ShowDirectory(bench.p);
  EXPECT_EQ(ListingReads(bench), std::vector<int>(8, 8000));
  EXPECT_EQ(bench.Texts(), std::vector<std::string>{"Directory listing cut at 64000 bytes"});
  // 30 header bytes, then lines of 32: 1999 whole file lines, and 2 bytes of the next.
  const auto& lines = bench.desk.directory();
  ASSERT_EQ(lines.size(), 2000u);
  EXPECT_EQ(lines.back(), "1    \"F\"                PRG  ");

  fake::TempDir dir("endless");
  fake::WriteFile(dir / "p.prg", fake::Prg(100));
  bench.drive.packets.clear();
  RestorePrg(bench.p, dir / "p.prg");
  EXPECT_EQ(bench.Texts().back(), "Can't restore: no 'BLOCKS FREE' line in the directory listing");
  EXPECT_TRUE(bench.drive.packets.empty());
}

TEST(DirectoryListing, LinkOfTwoZeroBytesEndsTheListing) {
  Bench bench;
  std::vector<uint8_t> bytes = fake::Listing("END", "AB 2A", {{3, "ONE"}, {4, "TWO"}}, 600);
  // Put the end-of-program link in place of the second file's link.
  size_t second = 2 + 30 + 32;
  bytes[second] = 0;
  bytes[second + 1] = 0;
  bench.drive.files["$"] = bytes;
  ShowDirectory(bench.p);
  ASSERT_EQ(bench.desk.directory().size(), 2u);
  EXPECT_EQ(bench.desk.directory()[1], "3    \"ONE\"              PRG  ");
}

TEST(DirectoryListing, TimeoutOnTheOpenShowsNothing) {
  Bench bench;
  bench.drive.files["$"] = EmptyDiskListing();
  bench.drive.beforeReply = [](const std::vector<uint8_t>& packet) { return packet[0] != 0x01; };
  ShowDirectory(bench.p);
  EXPECT_TRUE(bench.desk.directory().empty());
  EXPECT_TRUE(bench.Logged("Connection Timeout"));
  EXPECT_EQ(bench.p.LinkState, kLinkTimeout);
  // After the timeout nothing more goes to the adapter.
  EXPECT_EQ(bench.drive.packets.size(), 1u);
}

}  // namespace
}  // namespace dw
