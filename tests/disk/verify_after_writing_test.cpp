// Verify after writing, end to end: Restore and Fast Format read every track back from the disk
// and compare it with what they wrote. The virtual bus's badwrite fault lays one sector's data
// down wrong while the drive answers the write as done.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/restore_from_file.h"
#include "gcr_image_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr size_t kD64Data = 174848;

std::vector<uint8_t> SavedDisk(Harness& h, const std::string& path) {
  std::string error;
  EXPECT_TRUE(h.bus->SaveDisk(8, path, &error)) << error;
  return fake::ReadFile(path);
}

uint8_t MapCell(const Harness& h, int track, int sector) {
  return h.program.MapCells.at(static_cast<size_t>(track - 1)).at(static_cast<size_t>(sector));
}

std::unique_ptr<Harness> Restore(const std::string& image, const std::string& fault, bool verify) {
  auto h = std::make_unique<Harness>("8=1541-II+:blank");
  if (!fault.empty()) {
    std::string error;
    EXPECT_TRUE(ApplyBusFault(*h->bus, {"badwrite", "8", fault, "4"}, 0, &error)) << error;
  }
  if (verify) h->desk.QueueCommand(kCmdVerifyWrites);
  h->desk.QueueFile(image);
  h->desk.QueueCommand(kCmdRestoreImage);
  h->Run();
  return h;
}

TEST(VerifyAfterWriting, ARestoreWithErrorSectorsReadsBackAsWrittenAndTheDiskIsTheImage) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir("verifywrite");
  const std::string plain = dir / "plain.d64";
  ASSERT_TRUE(MakeGcrImage(dir, plain, ""));
  const std::vector<uint8_t> bytes = WithErrorBytes(fake::ReadFile(plain));
  const std::string image = dir / "errors.d64";
  fake::WriteFile(image, bytes);
  const auto h = Restore(image, "", true);
  EXPECT_TRUE(h->desk.Logged("Verify after writing enabled"));
  EXPECT_TRUE(h->desk.Logged("Verify after writing: on"));
  EXPECT_TRUE(
      h->desk.Logged("Verify after writing: 683 sectors on 35 tracks read back as written"));
  EXPECT_TRUE(h->desk.Logged("Restored 35 tracks onto drive 8"));
  EXPECT_EQ(h->desk.logTexts().back(), "-- done --");
  // The bus's own reading of the disk: the image, its defects as its error bytes. The bus
  // salvages the data behind a damaged header or block as an imaging tool does; without syncs
  // (code 3) there is none.
  std::vector<uint8_t> expected = bytes;
  std::fill_n(expected.begin() + SectorIndex(5, 0) * 256, 256, 0);
  EXPECT_EQ(SavedDisk(*h, dir / "after.d64"), expected);
}

TEST(VerifyAfterWriting, ASectorTheDriveLaidDownWrongIsNamedAndTheRestoreEndsAborted) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir("verifywrite");
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  const auto h = Restore(image, "12", true);
  EXPECT_TRUE(
      h->desk.Logged("Verify after writing: Track 12, Sector 4: read with code 5, written with 1"));
  EXPECT_TRUE(h->desk.Logged("Verify after writing: 1 sector differs on 1 track"));
  EXPECT_EQ(MapCell(*h, 12, 4), kMapDiffers);
  EXPECT_EQ(MapCell(*h, 12, 3), kMapGood);
  EXPECT_FALSE(h->desk.Logged("Restored 35 tracks onto drive 8"));
  EXPECT_EQ(h->desk.logTexts().back(), "-- aborted --");

  // Without the verify the drive's answers all say done, and the bad copy passes for a good one.
  const auto unchecked = Restore(image, "12", false);
  EXPECT_FALSE(unchecked->desk.Logged("Verify after writing: on"));
  EXPECT_TRUE(unchecked->desk.Logged("Restored 35 tracks onto drive 8"));
  EXPECT_EQ(unchecked->desk.logTexts().back(), "-- done --");
  const std::vector<uint8_t> disk = SavedDisk(*unchecked, dir / "unchecked.d64");
  ASSERT_GT(disk.size(), kD64Data) << "the bus reads a sector with an error";
  EXPECT_EQ(disk[kD64Data + static_cast<size_t>(SectorIndex(12, 4))], 5);
}

TEST(VerifyAfterWriting, FastFormatReadsItsEmptySectorsBackAndCatchesABadOne) {
  for (const std::string fault : {"", "7"}) {
    SCOPED_TRACE(fault);
    Harness h("8=1541-II+:blank");
    if (!fault.empty()) {
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*h.bus, {"badwrite", "8", fault, "4"}, 0, &error)) << error;
    }
    h.desk.QueueCommand(kCmdVerifyWrites);
    h.desk.QueueText(std::string("EMPTY,EE"));
    h.desk.QueueCommand(kCmdFastFormat);
    h.Run();
    EXPECT_TRUE(h.desk.Logged("Verify after writing: on"));
    if (fault.empty()) {
      EXPECT_TRUE(
          h.desk.Logged("Verify after writing: 683 sectors on 35 tracks read back as written"));
      EXPECT_TRUE(h.desk.Logged("Formatted 35 tracks on drive 8"));
      EXPECT_EQ(h.desk.logTexts().back(), "-- done --");
      EXPECT_EQ(h.desk.directory().size(), 2u) << "named: an empty disk";
    } else {
      EXPECT_TRUE(h.desk.Logged(
          "Verify after writing: Track 7, Sector 4: read with code 5, written with 1"));
      EXPECT_EQ(MapCell(h, 7, 4), kMapDiffers);
      EXPECT_FALSE(h.desk.Logged("Formatted 35 tracks on drive 8"));
      EXPECT_TRUE(h.desk.directory().empty()) << "a bad disk gets no name";
      EXPECT_EQ(h.desk.logTexts().back(), "-- aborted --");
    }
  }
}

// The 1581 keeps the last side it wrote in its track cache and serves reads of that side from
// there: a read-back that came from the cache would pass a sector the disk got wrong when the
// cache went back to it. The faults strike the very last sector written: one laid down with a
// bad checksum, and one whose byte went wrong in the drive's buffer before its CRC was made, so
// that only the data tell it.
TEST(VerifyAfterWriting, The1581ReadsBackFromTheDiskNotFromItsTrackCache) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir("verifywrite81");
  const std::string image = dir / "disk.d81";
  ASSERT_TRUE(oracle::MakeImage(dir, image, {{"first", oracle::Noise(40000, 1)}}));
  const std::string disk = dir / "old.d81";
  const struct {
    const char* fault;
    const char* told;
  } cases[] = {{"badwrite", "read with code 5, written with 1"}, {"garble", "data differ"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    fake::WriteFile(disk, fake::ReadFile(image));
    Harness h("8=1581:" + disk);
    std::string error;
    ASSERT_TRUE(ApplyBusFault(*h.bus, {c.fault, "8", "80", "39"}, 0, &error)) << error;
    h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
    h.desk.QueueMessageAnswer(MessageAnswer::kNo);
    h.desk.QueueCommand(kCmdVerifyWrites);
    h.desk.QueueFile(image);
    h.desk.QueueCommand(kCmdRestoreImage);
    h.Run();
    EXPECT_TRUE(h.desk.Logged("Verify after writing: on"));
    EXPECT_TRUE(h.desk.Logged("Tracks restored: 80"));
    EXPECT_TRUE(h.desk.Logged(std::string("Verify after writing: Track 80, Sector 39: ") + c.told));
    EXPECT_TRUE(h.desk.Logged("Verify after writing: 1 sector differs on 1 track"));
    EXPECT_EQ(MapCell(h, 80, 39), kMapDiffers);
    EXPECT_FALSE(h.desk.Logged("Restored 80 tracks onto drive 8"));
    EXPECT_EQ(h.desk.logTexts().back(), "-- aborted --");
  }
}

}  // namespace
}  // namespace dw
