// The disk map the operations hand to the desk, end to end on the virtual bus: what Restore
// writes and Create reads back, a track dump's one track, Verify's first difference, Fast
// Format's tracks, and the 1581's halves judged by their burst status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gcr_image_support.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr size_t kD64Data = 174848;

// The map a disk with the given error bytes should give: 1 where the byte is 0 or 1.
std::vector<std::vector<uint8_t>> MapOfErrorBytes(const std::vector<uint8_t>& image) {
  std::vector<std::vector<uint8_t>> map;
  size_t at = kD64Data;
  for (int track = 1; track <= 35; ++track) {
    map.emplace_back();
    for (int sector = 0; sector < SectorIndex(track + 1, 0) - SectorIndex(track, 0); ++sector) {
      const uint8_t code = image[at++] & 0x0F;
      map.back().push_back(code > 1 ? code : kMapGood);
    }
  }
  return map;
}

std::vector<uint8_t> Column(int sectors, uint8_t cell) {
  return std::vector<uint8_t>(static_cast<size_t>(sectors), cell);
}

TEST(DiskMap, RestoreShowsTheCodesItWritesAndCreateReadsTheSameBack) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"diskmap"};
  const std::string plain = dir / "plain.d64";
  ASSERT_TRUE(MakeGcrImage(dir, plain, ""));
  const std::vector<uint8_t> bytes = WithErrorBytes(fake::ReadFile(plain));
  const std::string image = dir / "errors.d64";
  fake::WriteFile(image, bytes);
  const auto expected = MapOfErrorBytes(bytes);

  Harness h("8=1541-II+:blank");
  h.Connect();
  h.clock.SetStartTime(14, 3, 22);
  h.desk.QueueFile(image);
  DispatchCommand(h.program, kCmdRestoreImage);
  EXPECT_EQ(h.desk.diskMap(), expected);
  EXPECT_EQ(h.desk.trackMapCalls(), 35) << "one call a track";
  EXPECT_EQ(
      h.desk.diskMapLayout().caption.rfind("Restore disk image, drive 8 (1541-II+), 14:03:", 0), 0u)
      << h.desk.diskMapLayout().caption;
  // Each whole-disk command ends with what it did, after its own lines.
  std::vector<std::string> log = h.desk.logTexts();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Restored 35 tracks onto drive 8");

  h.desk.QueueFile(dir / "copy.d64");
  DispatchCommand(h.program, kCmdCreateImage);
  EXPECT_EQ(h.desk.diskMapStarts(), 2);
  EXPECT_EQ(h.desk.diskMap(), expected);
  EXPECT_EQ(h.desk.diskMapLayout().codeTexts.at(9), "HEADER BLOCK CHECKSUM ERROR");
  EXPECT_EQ(h.desk.diskMapLayout().caption.rfind("Create disk image, drive 8 (1541-II+), 14:", 0),
            0u)
      << h.desk.diskMapLayout().caption;
  log = h.desk.logTexts();
  EXPECT_EQ(log[log.size() - 2],
            "Saved copy.d64: 683 sectors, 6 with errors "
            "(1 \xD7 2, 1 \xD7 3, 1 \xD7 4, 1 \xD7 5, 1 \xD7 9, 1 \xD7 B)");

  h.desk.QueueFile(dir / "copy.d64");
  DispatchCommand(h.program, kCmdVerifyImage);
  log = h.desk.logTexts();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "Verify OK");
  EXPECT_EQ(log[log.size() - 2], "Verified 683 sectors against copy.d64");
}

TEST(DiskMap, DumpVerifyAndFormatEachStartAfreshAndFillWhatTheyReachOrWrite) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"diskmap"};
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  std::vector<uint8_t> changed = fake::ReadFile(image);
  changed[91392 + 256 + 5] ^= 0x40;  // track 18, sector 1, byte 5
  fake::WriteFile(dir / "changed.d64", changed);

  Harness h("8=1541-II+:" + image);
  h.Connect();
  h.desk.QueueText("18");
  DispatchCommand(h.program, kCmdDumpTrack);
  ASSERT_EQ(h.desk.diskMap().size(), 35u);
  EXPECT_EQ(h.desk.trackMapCalls(), 1);
  EXPECT_EQ(h.desk.diskMap()[17], Column(19, kMapGood));
  EXPECT_EQ(h.desk.diskMap()[16], Column(21, kMapNotRead));

  h.desk.QueueFile(dir / "changed.d64");
  DispatchCommand(h.program, kCmdVerifyImage);
  ASSERT_TRUE(h.desk.Logged("Failed track: 18, sector: 1, offset: $5"));
  const auto& map = h.desk.diskMap();
  ASSERT_EQ(map.size(), 35u);
  for (int track = 1; track <= 17; ++track) EXPECT_EQ(map[track - 1], Column(21, kMapGood));
  std::vector<uint8_t> track18 = Column(19, kMapGood);
  track18[1] = kMapDiffers;
  EXPECT_EQ(map[17], track18);
  for (int track = 19; track <= 35; ++track) {
    EXPECT_EQ(map[static_cast<size_t>(track - 1)],
              Column(static_cast<int>(map[static_cast<size_t>(track - 1)].size()), kMapNotRead))
        << "track " << track << " was never read";
  }

  // The format writes 35 tracks whatever the 40-track mark says.
  h.desk.QueueText("MAPPED,MP");
  DispatchCommand(h.program, kCmdFortyTracks);
  DispatchCommand(h.program, kCmdFastFormat);
  ASSERT_EQ(h.desk.diskMap().size(), 35u);
  EXPECT_EQ(h.desk.diskMap()[0], Column(21, kMapGood));
  EXPECT_EQ(h.desk.diskMap()[34], Column(17, kMapGood));
  EXPECT_EQ(h.desk.diskMapStarts(), 3);
}

TEST(DiskMap, A1581MarksEachHalfTrackByItsBurstStatus) {
  Harness h("8=1581:blank");
  h.Connect();
  DispatchCommand(h.program, kCmdCreateImage);
  const auto& map = h.desk.diskMap();
  ASSERT_EQ(map.size(), 80u);
  const std::vector<std::string> log = h.desk.logTexts();
  for (size_t track = 0; track < 80; ++track) {
    ASSERT_EQ(map[track].size(), 40u);
    for (size_t half : {size_t{0}, size_t{20}}) {
      const uint8_t cell = map[track][half];
      EXPECT_GT(cell, kMapGood) << "an unformatted disk has no sectors";
      EXPECT_EQ(std::vector<uint8_t>(map[track].begin() + half, map[track].begin() + half + 20),
                Column(20, cell));
    }
  }
  // The words the map gives a half are those logged under its error line.
  const uint8_t first = map[0][0];
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    if (log[i].rfind("Error on:  Track 1; Sector 0;", 0) != 0) continue;
    EXPECT_EQ(log[i + 1], h.desk.diskMapLayout().codeTexts.at(first));
    return;
  }
  ADD_FAILURE() << "no error line for track 1";
}

}  // namespace
}  // namespace dw
