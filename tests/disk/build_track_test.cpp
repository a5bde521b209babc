// Whole GCR tracks built by the program, read back by the virtual disk's own imaging code (an
// implementation that shares nothing with the program) and by the program's sector decoding.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "disk/build_track.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "gcr/codec.h"
#include "prg_test_support.h"
#include "sim/media/gcr_sector.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr int kD64WithErrors = 175531;
constexpr int kD64Data = 174848;

class BuildTrack : public ::testing::Test {
 protected:
  BuildTrack() {
    FillGcrTables(p);
    p.DriveFamily = kFamily1541;
    p.DiskId[1] = 'X';
    p.DiskId[2] = 'Y';
  }

  // An image of noise with the given error bytes, opened as a restore opens it.
  std::FILE* OpenImage(const std::vector<std::pair<int, uint8_t>>& errorBytes) {
    std::vector<uint8_t> bytes(kD64WithErrors, 0);
    for (int i = 0; i < kD64Data; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + i / 256);
    for (auto [position, value] : errorBytes) bytes[kD64Data + position] = value;
    data_.assign(bytes.begin(), bytes.begin() + kD64Data);
    const std::string path = folder_ / "errors.d64";
    fake::WriteFile(path, bytes);
    EXPECT_EQ(MatchImageFileSize(p, kD64WithErrors), 35);
    file_ = std::fopen(path.c_str(), "rb");
    return file_;
  }
  ~BuildTrack() override {
    if (file_ != nullptr) std::fclose(file_);
  }

  std::vector<uint8_t> Built(int n) const {
    return std::vector<uint8_t>(p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + n - 1);
  }
  std::vector<uint8_t> ImageSector(int track, int sector) const {
    auto at = data_.begin() + p.TrackTable[static_cast<size_t>(track)].imageOffset + sector * 256;
    return std::vector<uint8_t>(at, at + 256);
  }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  VirtualPortOpener ports;
  Program p{desk, clock, ports};
  TempFolder folder_{"build"};
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> data_;
};

TEST_F(BuildTrack, EachZoneHasItsLengthAndEverySectorReadsBackWithItsData) {
  std::FILE* image = OpenImage({});
  p.ImageErrors = false;
  const std::pair<int, int> lengths[] = {{1, 7540}, {18, 7012}, {25, 6553}, {35, 6138}};
  for (auto [track, length] : lengths) {
    const int n = BuildGcrTrack(p, track, false, false, image);
    ASSERT_EQ(n, length) << track;
    EXPECT_EQ(p.GcrOutBuffer[static_cast<size_t>(n - 1)], 0);
    const int sectors = p.TrackTable[static_cast<size_t>(track)].sectorCount;
    const auto salvaged = sim::SalvageGcrTrack(Built(n), track, sectors, {'X', 'Y'});
    for (int s = 0; s < sectors; ++s) {
      EXPECT_EQ(salvaged[s].code, 1) << track << "/" << s;
      EXPECT_EQ(std::vector<uint8_t>(salvaged[s].data.begin(), salvaged[s].data.end()),
                ImageSector(track, s))
          << track << "/" << s;
    }
  }
  EXPECT_TRUE(desk.log().empty());
}

TEST_F(BuildTrack, ErrorBytesBecomeTheDefectsTheyDescribe) {
  // Track 1: sector 0 an unknown code (logged, written normally), then the codes of a damaged
  // header or data block. Track 2: a sector without syncs; $13 counts by its low four bits. (A
  // track's missing syncs make the reading side take every lost header on it for code 3.)
  std::FILE* image = OpenImage({{0, 0x06},
                                {1, 0x02},
                                {3, 0x04},
                                {4, 0x05},
                                {5, 0x09},
                                {6, 0x0B},
                                {7, 0x01},
                                {21 + 2, 0x13}});
  const int n = BuildGcrTrack(p, 1, false, false, image);
  EXPECT_EQ(desk.logTexts(), (std::vector<std::string>{
                                 "Creating error: T01, S00> FORMAT ERROR",
                                 "Creating error: T01, S01> SECTOR NOT FOUND",
                                 "Creating error: T01, S03> DATA BLOCK NOT FOUND",
                                 "Creating error: T01, S04> DATA BLOCK CHECKSUM ERROR",
                                 "Creating error: T01, S05> HEADER BLOCK CHECKSUM ERROR",
                                 "Creating error: T01, S06> DISK ID MISMATCH/DISK CHANGE",
                             }));
  EXPECT_EQ(p.ErrorByteCursor, 21);
  const auto salvaged = sim::SalvageGcrTrack(Built(n), 1, 21, {'X', 'Y'});
  const int expected[] = {1, 2, 1, 4, 5, 9, 11, 1};
  for (int s = 0; s < 8; ++s) EXPECT_EQ(salvaged[s].code, expected[s]) << s;
  EXPECT_EQ(std::vector<uint8_t>(salvaged[4].data.begin(), salvaged[4].data.end()),
            ImageSector(1, 4))
      << "the data of a checksum error are the image's";

  // The program's own decoding of the track, as a raw read from the middle of the track. On
  // the disk the revolution is longer than the track written: the rest keeps gap bytes.
  desk.ClearLog();
  std::vector<uint8_t> track = Built(n);
  track.resize(7692, 0x55);
  p.ReplyData.clear();
  for (int i = 0; i < 32 * 256; ++i) p.ReplyData.push_back(track[(1000 + i) % track.size()]);
  p.ReplyData.push_back(0x58);  // 1368: zone 3
  p.ReplyData.push_back(0x05);
  p.ImageErrors = false;
  EXPECT_FALSE(DecodeGcrTrack(p, 1));
  EXPECT_EQ(desk.logTexts()[0].substr(0, 27), "T01:121459B11111111111111<!");

  p.ImageErrors = true;
  desk.ClearLog();
  const int n2 = BuildGcrTrack(p, 2, false, false, image);
  EXPECT_EQ(desk.logTexts(), (std::vector<std::string>{"Creating error: T02, S02> NO SYNC"}));
  EXPECT_EQ(sim::SalvageGcrTrack(Built(n2), 2, 21, {'X', 'Y'})[2].code, 3);
}

TEST_F(BuildTrack, ABlankTrackWithTheBamMarkCarriesOnlyTheFormatType) {
  BuildTrackTable(p);
  int n = BuildGcrTrack(p, 18, true, true, nullptr);
  auto salvaged = sim::SalvageGcrTrack(Built(n), 18, 19, {'X', 'Y'});
  std::vector<uint8_t> bam(256, 0);
  bam[2] = 0x41;
  for (int s = 0; s < 19; ++s) {
    EXPECT_EQ(salvaged[s].code, 1) << s;
    EXPECT_EQ(std::vector<uint8_t>(salvaged[s].data.begin(), salvaged[s].data.end()),
              s == 0 ? bam : std::vector<uint8_t>(256, 0))
        << s;
  }
  n = BuildGcrTrack(p, 17, true, true, nullptr);
  salvaged = sim::SalvageGcrTrack(Built(n), 17, 21, {'X', 'Y'});
  EXPECT_EQ(salvaged[0].data, sim::SectorData{}) << "the mark is on track 18 only";
  EXPECT_TRUE(desk.log().empty());
}

}  // namespace
}  // namespace dw
