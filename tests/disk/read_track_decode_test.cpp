// The sector decoding of raw tracks, fed with tracks the virtual disk's own GCR writer builds
// (an implementation that shares nothing with the program's codec), read from any angle.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk/geometry.h"
#include "disk/read_track.h"
#include "disk/track_retries.h"
#include "gcr/codec.h"
#include "sim/media/gcr_sector.h"
#include "testkit/harness.h"

namespace dw {
namespace {

struct ZoneCase {
  int track;
  int sectors;
  int gapBytes;  // as the DOS format lays them in that zone
  int capacity;  // bytes in one revolution at 300 rpm
  int byteRate;  // the drive's count: 35555.6 / byte time
  int zone;
};

constexpr ZoneCase kZones[] = {
    {1, 21, 8, 7692, 1368, 3},
    {18, 19, 17, 7142, 1270, 2},
    {25, 18, 12, 6666, 1185, 1},
    {35, 17, 9, 6250, 1111, 0},
};

const sim::DiskId kId = {'A', 'B'};

std::vector<sim::SectorPlan> Plans(int track, int sectors) {
  std::vector<sim::SectorPlan> plans(static_cast<size_t>(sectors));
  for (int s = 0; s < sectors; ++s) {
    for (int i = 0; i < 256; ++i) plans[s].data[i] = static_cast<uint8_t>(track * 31 + s * 7 + i);
  }
  return plans;
}

class DecodeTrack : public ::testing::Test {
 protected:
  DecodeTrack() {
    FillGcrTables(p);
    p.DriveFamily = kFamily1541;
    SelectGeometry(p, false);
    p.DiskId[1] = kId[0];
    p.DiskId[2] = kId[1];
  }

  // The raw read as the drive code sends it: gcrPages pages from `angle` on, wrapping around,
  // then the byte-rate count.
  void Read(const ZoneCase& zone, const std::vector<sim::SectorPlan>& plans, size_t angle) {
    std::vector<uint8_t> track = sim::BuildGcrTrack(zone.track, kId, plans, zone.gapBytes,
                                                    static_cast<size_t>(zone.capacity));
    const int pages = p.TrackTable[static_cast<size_t>(zone.track)].gcrPages;
    p.ReplyData.clear();
    for (int i = 0; i < pages * 256; ++i) p.ReplyData.push_back(track[(angle + i) % track.size()]);
    p.ReplyData.push_back(static_cast<uint8_t>(zone.byteRate & 0xFF));
    p.ReplyData.push_back(static_cast<uint8_t>(zone.byteRate >> 8));
  }

  std::vector<uint8_t> SectorInImage(int track, int sector) const {
    auto at =
        p.ImageBuffer.begin() + p.TrackTable[static_cast<size_t>(track)].imageOffset + sector * 256;
    return std::vector<uint8_t>(at, at + 256);
  }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  VirtualPortOpener ports;
  Program p{desk, clock, ports};
};

TEST_F(DecodeTrack, EveryZoneFromEveryAngleGivesEverySectorAndTheStatusLine) {
  for (const ZoneCase& zone : kZones) {
    const auto plans = Plans(zone.track, zone.sectors);
    for (size_t angle : {0u, 1u, 333u, 2900u, 6000u}) {
      SCOPED_TRACE("track " + std::to_string(zone.track) + " angle " + std::to_string(angle));
      std::fill(p.ImageBuffer.begin(), p.ImageBuffer.end(), uint8_t{0});
      desk.ClearLog();
      Read(zone, plans, angle);
      EXPECT_TRUE(DecodeGcrTrack(p, zone.track));
      for (int s = 0; s < zone.sectors; ++s) {
        EXPECT_EQ(SectorInImage(zone.track, s),
                  std::vector<uint8_t>(plans[s].data.begin(), plans[s].data.end()))
            << "sector " << s;
      }
      ASSERT_EQ(desk.logTexts().size(), 1u);
      const std::string line = desk.logTexts()[0];
      char head[8];
      std::snprintf(head, sizeof head, "T%02d:", zone.track);
      std::string codes = head + std::string(static_cast<size_t>(zone.sectors), '1');
      if (codes.size() < 23) codes.resize(23, ' ');
      EXPECT_EQ(line.substr(0, codes.size() + 5), codes + "  SY:");
      EXPECT_EQ(line.substr(line.size() - 7), "  BRZ:" + std::to_string(zone.zone));
      // Two syncs a sector; a sync that the read meets again one revolution later may count
      // once more.
      const int syncs = std::stoi(line.substr(codes.size() + 5, 4));
      EXPECT_GE(syncs, 2 * zone.sectors);
      EXPECT_LE(syncs, 2 * zone.sectors + 1);
      EXPECT_EQ(p.TrackStats.bitrateZone, zone.zone);
    }
  }
}

TEST_F(DecodeTrack, TheStatusLineIsLaidOutToTheColumn) {
  const ZoneCase& zone = kZones[0];
  Read(zone, Plans(1, 21), 2900);
  DecodeGcrTrack(p, 1);
  EXPECT_EQ(desk.logTexts(),
            (std::vector<std::string>{"T01:111111111111111111111  SY:0042  BRZ:3"}));
}

struct DefectCase {
  int defect;
  char digit;
};

class DecodeDefect : public DecodeTrack, public ::testing::WithParamInterface<DefectCase> {};

// A data block that was found is kept: with a bad checksum, and behind a header of another
// disk ID (the sector's data are there; a restore writes them back under the foreign ID).
TEST_P(DecodeDefect, EachDamagedSectorShowsItsCodeAndAFoundDataBlockIsKept) {
  const DefectCase c = GetParam();
  const ZoneCase& zone = kZones[1];  // track 18
  auto plans = Plans(zone.track, zone.sectors);
  plans[7].defect = c.defect;
  p.ImageErrors = true;
  p.ImageFileSize = p.ImageDataSize + 683;
  // The error bytes of track 18 follow those of tracks 1 to 17 (21 sectors each).
  p.ErrorByteCursor = 17 * 21;
  Read(zone, plans, 1234);
  EXPECT_FALSE(DecodeGcrTrack(p, zone.track));
  const std::string expected = "T18:1111111" + std::string(1, c.digit) + "11111111111<!  SY:";
  ASSERT_EQ(desk.logTexts().size(), 1u);
  EXPECT_EQ(desk.logTexts()[0].substr(0, expected.size()), expected);
  const std::vector<uint8_t> damaged = SectorInImage(zone.track, 7);
  if (c.defect == 5 || c.defect == 11) {
    EXPECT_EQ(damaged, std::vector<uint8_t>(plans[7].data.begin(), plans[7].data.end()));
  } else {
    EXPECT_EQ(damaged, std::vector<uint8_t>(256, 0));
  }
  EXPECT_EQ(SectorInImage(zone.track, 8),
            std::vector<uint8_t>(plans[8].data.begin(), plans[8].data.end()));
  EXPECT_EQ(p.ImageBuffer[static_cast<size_t>(p.ImageDataSize + 17 * 21 + 7)], c.defect);
  EXPECT_EQ(p.ImageBuffer[static_cast<size_t>(p.ImageDataSize + 17 * 21 + 8)], 1);
  EXPECT_EQ(p.ErrorByteCursor, 17 * 21 + 19);
}

INSTANTIATE_TEST_SUITE_P(EveryCode, DecodeDefect,
                         ::testing::Values(DefectCase{2, '2'}, DefectCase{3, '3'},
                                           DefectCase{4, '4'}, DefectCase{5, '5'},
                                           DefectCase{9, '9'}, DefectCase{11, 'B'}),
                         [](const auto& info) {
                           return "code" + std::to_string(info.param.defect);
                         });

TEST_F(DecodeTrack, WithoutImageErrorsNothingIsStoredButTheCursorCounts) {
  const ZoneCase& zone = kZones[0];
  auto plans = Plans(1, 21);
  plans[3].defect = 5;
  p.ImageErrors = false;
  p.ErrorByteCursor = 99;
  Read(zone, plans, 0);
  DecodeGcrTrack(p, 1);
  EXPECT_EQ(p.ErrorByteCursor, 21) << "track 1 starts the count afresh";
  EXPECT_TRUE(std::all_of(p.ImageBuffer.begin() + p.ImageDataSize, p.ImageBuffer.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST_F(DecodeTrack, AnUnformattedTrackIsNoSyncEverywhere) {
  p.ReplyData = sim::NoiseTrack(7 * 256, 3);
  p.ReplyData.push_back(0x58);
  p.ReplyData.push_back(0x05);
  EXPECT_FALSE(DecodeGcrTrack(p, 2));
  EXPECT_EQ(desk.logTexts()[0].substr(0, 27), "T02:333333333333333333333<!");
}

}  // namespace
}  // namespace dw

namespace dw {
namespace {

// A track rewritten in one revolution from anywhere keeps a piece of the old one where the
// revolution is longer than the new track: an old header with the old ID and a data block cut
// short. The read may meet it before the new header of that sector.
TEST_F(DecodeTrack, AnOldHeaderLeftBehindANewTrackDoesNotHideTheNewSector) {
  const ZoneCase& zone = kZones[0];
  const auto plans = Plans(1, 21);
  const sim::DiskId oldId = {'Q', 'Q'};
  std::vector<sim::SectorPlan> oldPlans(21);
  const std::vector<uint8_t> oldTrack = sim::BuildGcrTrack(1, oldId, oldPlans, 8, 7692);
  std::vector<uint8_t> track = sim::BuildGcrTrack(1, kId, plans, 8, 21 * 359);
  // The old sector 0 up into its data block, then the new track from its start.
  std::vector<uint8_t> revolution(oldTrack.begin(), oldTrack.begin() + 150);
  revolution.insert(revolution.end(), track.begin(), track.end());
  p.ReplyData.assign(revolution.begin(), revolution.end());
  p.ReplyData.resize(32 * 256);
  for (size_t i = revolution.size(); i < p.ReplyData.size(); ++i) {
    p.ReplyData[i] = revolution[i - revolution.size()];
  }
  p.ReplyData.push_back(static_cast<uint8_t>(zone.byteRate & 0xFF));
  p.ReplyData.push_back(static_cast<uint8_t>(zone.byteRate >> 8));
  EXPECT_TRUE(DecodeGcrTrack(p, 1));
  EXPECT_EQ(desk.logTexts()[0].substr(0, 25), "T01:111111111111111111111");
  EXPECT_EQ(SectorInImage(1, 0), std::vector<uint8_t>(plans[0].data.begin(), plans[0].data.end()));
}

// The end-to-end tests see a good read win and a code that never changes stay; which code a
// sector keeps when its reads disagree without a good one is decided here alone.
TEST(KeptRead, AGoodReadWinsElseTheCodeMostReadsGaveElseTheFirstReadsCode) {
  using Cells = std::vector<uint8_t>;
  EXPECT_EQ(KeptRead(Cells{5, 4, 1, 1}), 2u);
  EXPECT_EQ(KeptRead(Cells{5, 4, 2, 2, 2, 4}), 2u) << "the first read of the most frequent code";
  EXPECT_EQ(KeptRead(Cells{5, 4, 4, 5}), 0u) << "a tie: the first read's code";
  EXPECT_EQ(KeptRead(Cells{3, 4, 2, 4, 2}), 1u) << "a tie without it: the code read first";
}

}  // namespace
}  // namespace dw
