// End to end on the virtual bus: the disk is pulled out of the drive in the middle of a PRG
// transfer. The user must learn that the transfer failed: the bytes received stay on the PC
// beside the file chosen, the file is reported incomplete, the drive's message is read, and the
// command ends aborted.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "link/exchange.h"
#include "prg_oracle_support.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

namespace dw {
namespace {

// A connected 1541-II holding a cc1541 disk; commands run one at a time as the main loop runs
// them.
struct Drive1541 {
  Drive1541(const std::string& name, const std::vector<oracle::ImageFile>& files)
      : dir(name), image(dir / "disk.d64") {
    made = oracle::MakeImage(dir, image, files);
    if (!made) return;
    h = std::make_unique<Harness>("8=1541-II+:" + image);
    h->Connect();
  }
  // The virtual time the command took.
  int64_t Dispatch(int id) {
    h->program.LinkState = 0;
    int64_t start = h->clock.NowUs();
    DispatchCommand(h->program, id);
    return h->clock.NowUs() - start;
  }
  void EjectIn(int64_t us) {
    std::string error;
    ASSERT_TRUE(ApplyBusFault(*h->bus, {"eject", "8"}, h->clock.NowUs() + us, &error)) << error;
  }
  std::string LastLine() const { return h->desk.logTexts().back(); }
  bool Logged(const std::string& text) const { return h->desk.Logged(text); }
  // What the drive's error channel still holds: a command that read it left "00, OK".
  std::string UnreadDriveMessage() {
    h->program.LinkState = 0;
    return ReadErrorChannel(h->program);
  }

  fake::TempDir dir;
  std::string image;
  bool made = false;
  std::unique_ptr<Harness> h;
};

std::string Hex(size_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%zX", value);
  return text;
}

TEST(PulledOutDisk, DownloadKeepsWhatCameAndIsReportedIncomplete) {
  DW_REQUIRE_ORACLES();
  const std::vector<uint8_t> content = oracle::Noise(79 * 254 - 30, 1);
  Drive1541 disk("pulled-download", {{"game", content}});
  ASSERT_TRUE(disk.made);
  disk.Dispatch(kCmdDirectory);
  ASSERT_EQ(disk.h->desk.directory().size(), 3u);
  // A whole copy first tells how long the transfer takes.
  disk.h->desk.SelectDirectoryLine(1);
  disk.h->desk.QueueFile(disk.dir / "whole.prg");
  const int64_t took = disk.Dispatch(kDirectoryListId);
  ASSERT_EQ(fake::ReadFile(disk.dir / "whole.prg"), content);
  ASSERT_EQ(disk.LastLine(), "-- done --");

  disk.h->desk.SelectDirectoryLine(1);
  disk.h->desk.QueueFile(disk.dir / "cut.prg");
  disk.EjectIn(took / 2);
  disk.Dispatch(kDirectoryListId);

  EXPECT_FALSE(std::filesystem::exists(disk.dir / "cut.prg"));
  const std::vector<uint8_t> cut = fake::ReadFile(disk.dir / "cut.prg.part");
  ASSERT_GT(cut.size(), 0u);
  ASSERT_LT(cut.size(), content.size());
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), content.begin()));
  EXPECT_TRUE(disk.Logged("PRG image size: $" + Hex(cut.size()) + " bytes"));
  EXPECT_TRUE(disk.Logged("Incomplete file: received up to byte " + std::to_string(cut.size()) +
                          ", kept in " + disk.dir / "cut.prg.part"));
  EXPECT_EQ(disk.LastLine(), "-- aborted --");
  EXPECT_EQ(disk.UnreadDriveMessage(), "00, OK,00,00");
}

TEST(PulledOutDisk, RestoreEndsAbortedWithoutListingTheMissingDisk) {
  DW_REQUIRE_ORACLES();
  Drive1541 disk("pulled-restore", {{"keep", oracle::Noise(700, 2)}});
  ASSERT_TRUE(disk.made);
  const std::vector<uint8_t> content = oracle::Noise(100 * 254, 3);
  fake::WriteFile(disk.dir / "game.prg", content);
  const int64_t listing = disk.Dispatch(kCmdDirectory);
  // A whole restore first (listing, transfer, listing) tells how long the transfer takes.
  disk.h->desk.QueueFile(disk.dir / "game.prg");
  const int64_t transfer = disk.Dispatch(kCmdRestoreImage) - 2 * listing;
  ASSERT_EQ(disk.LastLine(), "-- done --");
  const std::vector<std::string> shown = disk.h->desk.directory();
  ASSERT_EQ(shown.size(), 4u);

  disk.h->desk.QueueFile(disk.dir / "game.prg");
  disk.EjectIn(listing + transfer / 2);
  disk.Dispatch(kCmdRestoreImage);

  std::vector<std::string> texts = disk.h->desk.logTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Writing 101 blocks; 25400 bytes"), 2);
  EXPECT_EQ(disk.LastLine(), "-- aborted --");
  // No listing was tried without the disk: the one from before the restore is still shown.
  EXPECT_EQ(disk.h->desk.directory(), shown);
  EXPECT_EQ(fake::ReadFile(disk.dir / "game.prg"), content);
  EXPECT_EQ(disk.UnreadDriveMessage(), "00, OK,00,00");
}

}  // namespace
}  // namespace dw
