// End to end on the virtual bus with full 1581 disks made by cc1541: a listing longer than
// one read comes in whole and its free figure decides a restore; the longest file a 1581 can
// hold is copied to the PC whole.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr int k1581Blocks = 3160;  // free on an empty 1581 disk
constexpr size_t kBlockBytes = 254;

// 260 files: the first `small` of one block, the rest of `large` blocks each.
std::vector<oracle::ImageFile> ManyFiles(int small, int large) {
  std::vector<oracle::ImageFile> files;
  for (int i = 0; i < 260; ++i) {
    size_t blocks = i < small ? 1 : static_cast<size_t>(large);
    char name[8];
    std::snprintf(name, sizeof name, "f%03d", i);
    files.push_back({name, oracle::Noise(blocks * kBlockBytes - 10, static_cast<uint32_t>(i))});
  }
  return files;
}

std::vector<std::string> AsCc1541Prints(const std::vector<std::string>& lines) {
  std::vector<std::string> printed;
  for (const auto& line : lines) printed.push_back(oracle::AsCc1541Prints(line));
  return printed;
}

std::vector<std::string> CommandEnds(const Harness& h) {
  std::vector<std::string> ends;
  for (const std::string& text : h.desk.fullLogTexts()) {
    if (text == "-- done --" || text == "-- aborted --") ends.push_back(text);
  }
  return ends;
}

struct Restore1581 {
  int smallFiles;
  int largeBlocks;
  size_t prgBytes;
  bool accepted;
};

class FullListing1581 : public testing::TestWithParam<Restore1581> {};

// Cut after one read, the listing lost its "BLOCKS FREE." line and the free figure came from a
// file line: 1 (a fitting file refused) or 49 (a file too large accepted).
TEST_P(FullListing1581, ListingArrivesWholeAndItsFreeFigureDecidesTheRestore) {
  DW_REQUIRE_ORACLES();
  const Restore1581& c = GetParam();
  fake::TempDir dir("full1581");
  std::string image = dir / "full.d81";
  std::vector<oracle::ImageFile> files = ManyFiles(c.smallFiles, c.largeBlocks);
  ASSERT_TRUE(oracle::MakeImage(dir, image, files));
  const std::vector<uint8_t> original = fake::ReadFile(image);
  const int freeBlocks = k1581Blocks - c.smallFiles - (260 - c.smallFiles) * c.largeBlocks;
  const std::vector<uint8_t> content = oracle::Noise(c.prgBytes, 99);
  fake::WriteFile(dir / "new.prg", content);

  Harness h("8=1581:" + image);
  h.desk.QueueCommand(kCmdDirectory);
  h.desk.QueueCommand(kCmdRestoreImage);
  h.desk.QueueFile(dir / "new.prg");
  h.Run();

  std::string saved = dir / "saved.d81";
  std::string error;
  ASSERT_TRUE(h.bus->SaveDisk(8, saved, &error)) << error;
  // Header, every file and the free-blocks line, as cc1541 lists the disk.
  const std::vector<std::string>& lines = h.desk.directory();
  EXPECT_EQ(AsCc1541Prints(lines), oracle::ListingAsTheDriveShows(saved));
  EXPECT_EQ(lines.size(), 2u + 260u + (c.accepted ? 1u : 0u));
  // A refused restore stored nothing and ends aborted.
  EXPECT_EQ(CommandEnds(h),
            (std::vector<std::string>{"-- done --", c.accepted ? "-- done --" : "-- aborted --"}));
  const std::string reported = std::to_string(c.prgBytes / kBlockBytes + 1);
  if (c.accepted) {
    EXPECT_TRUE(
        h.desk.Logged("Writing " + reported + " blocks; " + std::to_string(c.prgBytes) + " bytes"));
    int blocks = static_cast<int>((c.prgBytes + kBlockBytes - 1) / kBlockBytes);
    EXPECT_EQ(std::atoi(lines.back().c_str()), freeBlocks - blocks) << lines.back();
    ASSERT_TRUE(oracle::Extract(saved, dir / "out"));
    EXPECT_EQ(fake::ReadFile(dir / "out/new.prg"), content);
  } else {
    EXPECT_TRUE(h.desk.Logged("Can't restore: " + reported + "PRG BLOCKS > 'BLOCKS FREE' " +
                              std::to_string(freeBlocks)));
    EXPECT_EQ(lines.back().rfind(std::to_string(freeBlocks) + " BLOCKS FREE.", 0), 0u);
    EXPECT_EQ(fake::ReadFile(saved), original);
  }
}

INSTANTIATE_TEST_SUITE_P(Disks, FullListing1581,
                         testing::Values(
                             // 2900 free; the 12 blocks fit.
                             Restore1581{260, 1, 3000, true},
                             // 20 free, the file lines near the end show 49; 30 blocks do not fit.
                             Restore1581{200, 49, 30 * kBlockBytes, false}),
                         [](const testing::TestParamInfo<Restore1581>& info) {
                           return info.param.accepted ? std::string("RoomLeft")
                                                      : std::string("NearlyFull");
                         });

TEST(Longest1581File, AllOfItsBytesReachThePc) {
  DW_REQUIRE_ORACLES();
  fake::TempDir dir("longest1581");
  std::string image = dir / "one.d81";
  const std::vector<uint8_t> content = oracle::Noise(k1581Blocks * kBlockBytes, 5);
  ASSERT_EQ(content.size(), 802640u);
  ASSERT_TRUE(oracle::MakeImage(dir, image, {{"whole disk", content}}));

  Harness h("8=1581:" + image);
  h.desk.QueueCommand(kCmdDirectory);
  h.desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, 1});
  h.desk.QueueFile(dir / "copy.prg", 1);
  h.Run();

  ASSERT_EQ(h.desk.directory().size(), 3u);
  EXPECT_EQ(h.desk.directory().back().rfind("0 BLOCKS FREE.", 0), 0u);
  EXPECT_EQ(fake::ReadFile(dir / "copy.prg"), content);
  EXPECT_TRUE(h.desk.Logged("PRG image size: $C3F50 bytes"));
  EXPECT_TRUE(h.desk.Logged("Blocks: 3160"));
  EXPECT_EQ(CommandEnds(h), (std::vector<std::string>{"-- done --", "-- done --"}));
}

}  // namespace
}  // namespace dw
