// Image layouts, the track table and the image file size check.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "disk/geometry.h"
#include "testkit/harness.h"
#include "testkit/scripted_desk.h"

namespace dw {
namespace {

// No port answers: there is no adapter.
using NoPorts = VirtualPortOpener;

constexpr uint8_t kUnknownFamily = kFamilyUnknown;

class GeometryTest : public ::testing::Test {
 protected:
  uint8_t Select(uint8_t family, bool fortyTracks = false, bool imageErrors = false,
                 uint8_t diskFormat = kDisk1541, bool doubleSided = false) {
    p.DriveFamily = family;
    p.FortyTracks = fortyTracks;
    p.ImageErrors = imageErrors;
    p.DiskFormat = diskFormat;
    return SelectGeometry(p, doubleSided);
  }

  const TrackRecord& Track(int t) const { return p.TrackTable[static_cast<size_t>(t)]; }

  // Every track's sectors follow the previous track's, from 0 to ImageDataSize.
  void ExpectContiguous(const std::string& context) {
    int32_t next = 0;
    for (int t = 1; t <= p.TrackCount; ++t) {
      ASSERT_EQ(Track(t).imageOffset, next) << context << " track " << t;
      next += Track(t).sectorCount * 256;
    }
    EXPECT_EQ(next, p.ImageDataSize) << context;
  }

  VirtualClock clock;
  ScriptedDesk desk{clock};
  NoPorts ports;
  Program p{desk, clock, ports};
};

// --- layouts --------------------------------------------------------------------------

TEST_F(GeometryTest, LayoutChosenForEachDriveDiskAndOption) {
  struct Case {
    const char* name;
    uint8_t family;
    bool forty;
    bool errors;
    uint8_t diskFormat;
    bool doubleSided;
    uint8_t tracks;
    uint8_t perSide;
    int32_t dataSize;
    int32_t fileSize;
  };
  const Case cases[] = {
      {"1541", kFamily1541, false, false, kDisk1541, false, 35, 35, 174848, 174848},
      {"1541 errors", kFamily1541, false, true, kDisk1541, false, 35, 35, 174848, 175531},
      {"1541 asked double", kFamily1541, false, false, kDisk1541, true, 35, 35, 174848, 174848},
      {"1541 forty", kFamily1541, true, false, kDisk1541, false, 40, 40, 196608, 196608},
      {"1541 forty errors", kFamily1541, true, true, kDisk1541, false, 40, 40, 196608, 197376},
      {"1570 double disk", kFamily1570, false, false, kDisk1571DoubleSided, false, 35, 35, 174848,
       174848},
      {"1570 forty", kFamily1570, true, true, kDisk1541, false, 40, 40, 196608, 197376},
      {"1571 single", kFamily1571, false, false, kDisk1541, false, 35, 35, 174848, 174848},
      {"1571 double disk", kFamily1571, false, false, kDisk1571DoubleSided, false, 70, 35, 349696,
       349696},
      {"1571 asked double", kFamily1571, false, true, kDisk1541, true, 70, 35, 349696, 351062},
      {"1571 forty wins", kFamily1571, true, false, kDisk1571DoubleSided, true, 40, 40, 196608,
       196608},
      {"1581", kFamily1581, false, false, kDisk1581, false, 80, 80, 819200, 819200},
      {"1581 no error bytes", kFamily1581, false, true, kDisk1581, false, 80, 80, 819200, 819200},
      {"1581 forty", kFamily1581, true, false, kDisk1581, false, 80, 80, 819200, 819200},
      {"unknown", kUnknownFamily, false, false, kDisk1541, true, 35, 35, 174848, 174848},
      {"unknown forty", kUnknownFamily, true, false, kDisk1541, false, 35, 35, 174848, 174848},
      {"out of range", 9, false, false, kDisk1541, false, 35, 35, 174848, 174848},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Select(c.family, c.forty, c.errors, c.diskFormat, c.doubleSided), c.tracks) << c.name;
    EXPECT_EQ(p.TrackCount, c.tracks) << c.name;
    EXPECT_EQ(p.TracksPerSide, c.perSide) << c.name;
    EXPECT_EQ(p.ImageDataSize, c.dataSize) << c.name;
    EXPECT_EQ(p.ImageFileSize, c.fileSize) << c.name;
    ExpectContiguous(c.name);
  }
}

TEST_F(GeometryTest, SelectingALayoutClearsTheWholeImage) {
  std::fill(p.ImageBuffer.begin(), p.ImageBuffer.end(), uint8_t{0xA5});
  Select(kFamily1541);
  EXPECT_TRUE(
      std::all_of(p.ImageBuffer.begin(), p.ImageBuffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(GeometryTest, BamTrackStartsAtTheSamePlaceInEveryGcrLayout) {
  const struct {
    uint8_t family;
    bool forty;
    uint8_t diskFormat;
  } layouts[] = {{kFamily1541, false, kDisk1541},
                 {kFamily1570, true, kDisk1541},
                 {kFamily1571, false, kDisk1571DoubleSided}};
  for (const auto& l : layouts) {
    Select(l.family, l.forty, false, l.diskFormat);
    EXPECT_EQ(Track(18).imageOffset, 91392) << int{p.TrackCount} << " tracks";
    // The BAM holds the disk ID at bytes $A2 and $A3 of track 18 sector 0.
    EXPECT_EQ(Track(18).imageOffset + 0xA2, 91554);
    EXPECT_EQ(Track(18).imageOffset + 0xA3, 91555);
  }
}

TEST_F(GeometryTest, SecondSideOfAD71StartsBehindAWholeSide) {
  Select(kFamily1571, false, false, kDisk1571DoubleSided);
  EXPECT_EQ(Track(36).imageOffset, 174848);
  EXPECT_EQ(Track(36).sectorCount, 21);
  EXPECT_EQ(Track(36).zoneBits, 0x60);
  EXPECT_EQ(Track(53).imageOffset, 174848 + 91392);
  EXPECT_EQ(Track(53).zoneBits, 0x40);
  EXPECT_EQ(Track(70).sectorCount, 17);
  EXPECT_EQ(Track(70).imageOffset + 17 * 256, 349696);
}

TEST_F(GeometryTest, FortyTrackImageAddsFiveSlowTracks) {
  Select(kFamily1541, true);
  EXPECT_EQ(Track(36).imageOffset, 174848);
  for (int t = 36; t <= 40; ++t) {
    EXPECT_EQ(Track(t).sectorCount, 17) << t;
    EXPECT_EQ(Track(t).zoneBits, 0x00) << t;
  }
  EXPECT_EQ(Track(40).imageOffset, 192256);
}

TEST_F(GeometryTest, D81TracksHoldFortySectors) {
  Select(kFamily1581);
  EXPECT_EQ(Track(1).imageOffset, 0);
  EXPECT_EQ(Track(2).imageOffset, 10240);
  EXPECT_EQ(Track(80).imageOffset, 808960);
  EXPECT_EQ(Track(80).sectorCount, 40);
}

TEST_F(GeometryTest, ZoneFieldsFollowTheTrackOnItsSide) {
  struct Zone {
    int firstTrack;
    int lastTrack;
    uint8_t sectors;
    uint8_t zoneBits;
    int32_t capacity;
    int32_t gcrPages;
    uint8_t tailGap;
  };
  const Zone zones[] = {
      {1, 17, 21, 0x60, 7692, 32, 4},
      {18, 24, 19, 0x40, 7142, 30, 14},
      {25, 30, 18, 0x20, 6666, 28, 9},
      {31, 35, 17, 0x00, 6250, 27, 6},
  };
  Select(kFamily1571, false, false, kDisk1571DoubleSided);
  for (const Zone& z : zones) {
    for (int side = 0; side < 2; ++side) {
      for (int t = z.firstTrack + side * 35; t <= z.lastTrack + side * 35; ++t) {
        EXPECT_EQ(Track(t).sectorCount, z.sectors) << t;
        EXPECT_EQ(Track(t).zoneBits, z.zoneBits) << t;
        EXPECT_EQ(Track(t).capacity, z.capacity) << t;
        EXPECT_EQ(Track(t).gcrPages, z.gcrPages) << t;
        EXPECT_EQ(Track(t).tailGapLength, z.tailGap) << t;
      }
    }
  }
}

TEST_F(GeometryTest, EveryGcrTrackCarriesTheSectorLayout) {
  Select(kFamily1571, false, false, kDisk1571DoubleSided);
  for (int t = 1; t <= 80; ++t) {
    const TrackRecord& r = Track(t);
    EXPECT_EQ(r.headerBlockId, 0x08) << t;
    EXPECT_EQ(r.dataBlockId, 0x07) << t;
    EXPECT_EQ(r.dataSyncLength, 5) << t;
    EXPECT_EQ(r.headerFill[0], 0x0F) << t;
    EXPECT_EQ(r.headerFill[1], 0x0F) << t;
    EXPECT_EQ(r.headerGapByte, 0x55) << t;
    EXPECT_EQ(r.headerGapLength, 9) << t;
    EXPECT_EQ(r.headerSyncLength, 5) << t;
    EXPECT_EQ(r.tailGapByte, 0x55) << t;
    EXPECT_EQ(r.formatType, 0x41) << t;
  }
}

TEST_F(GeometryTest, AWrittenTrackFitsInOneRevolution) {
  // Sync, header, gap, the data block's longer sync, data block and tail gap of every
  // sector, as the track builder lays them out.
  const struct {
    int track;
    int32_t bytes;
  } tracks[] = {{1, 7539}, {18, 7011}, {25, 6552}, {31, 6137}};
  Select(kFamily1541);
  for (const auto& t : tracks) {
    const TrackRecord& r = Track(t.track);
    const int32_t sector =
        r.headerSyncLength + 10 + r.headerGapLength + r.dataSyncLength + 1 + 325 + r.tailGapLength;
    EXPECT_EQ(sector * r.sectorCount, t.bytes) << t.track;
    EXPECT_LT(t.bytes + 1, r.capacity) << t.track;
  }
}

TEST_F(GeometryTest, TracksNoZoneHoldsKeepTheirEarlierGeometry) {
  Select(kFamily1581);
  Select(kFamily1541, true);
  for (int t = 71; t <= 80; ++t) {
    EXPECT_EQ(Track(t).sectorCount, 40) << t;
    EXPECT_EQ(Track(t).imageOffset, (t - 1) * 10240) << t;
  }
  // Without 40 tracks, tracks 71 to 80 are tracks 36 to 45 of a second side.
  Select(kFamily1541);
  EXPECT_EQ(Track(71).imageOffset, 174848 + 174848);
  EXPECT_EQ(Track(80).sectorCount, 17);
}

// --- image file size check -------------------------------------------------------------

TEST_F(GeometryTest, FileSizesAcceptedByEachDriveFamily) {
  // Expected track count for the 1541 family, 1570, 1571, 1581 and an unknown drive.
  struct Case {
    int32_t size;
    uint8_t tracks[5];
    bool fortyTracks;
    bool imageErrors;
  };
  const Case cases[] = {
      {174848, {35, 35, 35, 0, 0}, false, false},
      {175531, {35, 35, 35, 0, 0}, false, true},
      {196608, {40, 40, 40, 0, 0}, true, false},
      {197376, {40, 40, 40, 0, 0}, true, true},
      {349696, {0, 0, 70, 0, 0}, false, false},
      {351062, {0, 0, 70, 0, 0}, false, true},
      {819200, {0, 0, 0, 80, 0}, false, false},
      {822400, {0, 0, 0, 0, 0}, false, false},
      {205312, {0, 0, 0, 0, 0}, false, false},
      {174847, {0, 0, 0, 0, 0}, false, false},
      {174849, {0, 0, 0, 0, 0}, false, false},
      {0, {0, 0, 0, 0, 0}, false, false},
      {-1, {0, 0, 0, 0, 0}, false, false},
      {std::numeric_limits<int32_t>::max(), {0, 0, 0, 0, 0}, false, false},
  };
  for (const Case& c : cases) {
    for (uint8_t family = 0; family < 5; ++family) {
      const std::string context =
          std::to_string(c.size) + " bytes on family " + std::to_string(family);
      p.DriveFamily = family;
      p.FortyTracks = true;
      p.ImageErrors = true;
      const size_t boxes = desk.messages().size();
      const uint8_t tracks = MatchImageFileSize(p, c.size);
      EXPECT_EQ(tracks, c.tracks[family]) << context;
      if (tracks != 0) {
        EXPECT_EQ(desk.messages().size(), boxes) << context;
        EXPECT_EQ(p.TrackCount, tracks) << context;
        EXPECT_EQ(p.ImageFileSize, c.size) << context;
        EXPECT_EQ(p.FortyTracks, c.fortyTracks) << context;
        EXPECT_EQ(p.ImageErrors, c.imageErrors) << context;
      } else {
        ASSERT_EQ(desk.messages().size(), boxes + 1) << context;
        const MessageRequest& box = desk.messages().back().request;
        EXPECT_EQ(box.caption, "Diskwright");
        EXPECT_EQ(box.text, "File size does not match drive capacity.");
        EXPECT_EQ(box.buttons, MessageButtons::kOk);
        EXPECT_FALSE(p.FortyTracks) << context;
        EXPECT_FALSE(p.ImageErrors) << context;
      }
    }
  }
}

TEST_F(GeometryTest, ARejectedSizeChangesNothingButTheTwoFlags) {
  Select(kFamily1571, false, false, kDisk1571DoubleSided);
  p.ImageBuffer[1000] = 0x42;
  p.FortyTracks = true;
  p.ImageErrors = true;
  EXPECT_EQ(MatchImageFileSize(p, 819200), 0);
  EXPECT_EQ(p.TrackCount, 70);
  EXPECT_EQ(p.ImageDataSize, 349696);
  EXPECT_EQ(p.DiskFormat, kDisk1571DoubleSided);
  EXPECT_EQ(p.ImageBuffer[1000], 0x42);
  EXPECT_FALSE(p.FortyTracks);
  EXPECT_FALSE(p.ImageErrors);
}

TEST_F(GeometryTest, AD71FileAlwaysGetsTheDoubleSidedLayout) {
  for (int32_t size : {349696, 351062}) {
    p.DriveFamily = kFamily1571;
    p.DiskFormat = kDisk1541;  // the disk in the drive was last seen single-sided
    EXPECT_EQ(MatchImageFileSize(p, size), 70) << size;
    EXPECT_EQ(p.DiskFormat, kDisk1571DoubleSided);
    EXPECT_EQ(p.TracksPerSide, 35);
    EXPECT_EQ(p.ImageDataSize, 349696);
    EXPECT_EQ(Track(36).imageOffset, 174848);
  }
}

TEST_F(GeometryTest, AD64FileOnA1571GetsTheSingleSidedLayout) {
  for (int32_t size : {174848, 175531}) {
    p.DriveFamily = kFamily1571;
    p.DiskFormat = kDisk1571DoubleSided;
    EXPECT_EQ(MatchImageFileSize(p, size), 35) << size;
    EXPECT_EQ(p.DiskFormat, kDisk1541);
  }
}

TEST_F(GeometryTest, FortyTrackSizesLeaveTheDiskFormat) {
  p.DriveFamily = kFamily1571;
  p.DiskFormat = kDisk1571DoubleSided;
  EXPECT_EQ(MatchImageFileSize(p, 197376), 40);
  EXPECT_EQ(p.DiskFormat, kDisk1571DoubleSided);
}

// --- error bytes ------------------------------------------------------------------------

TEST_F(GeometryTest, ErrorBytesOfA35TrackImageFollowTheSectorData) {
  p.DriveFamily = kFamily1541;
  ASSERT_EQ(MatchImageFileSize(p, 175531), 35);
  p.ErrorByteCursor = 0;
  EXPECT_EQ(ErrorBytePosition(p), 174848);
  StoreErrorByte(p, 0x05);
  p.ErrorByteCursor = 682;
  EXPECT_EQ(ErrorBytePosition(p), 175530);
  StoreErrorByte(p, 0x0B);
  EXPECT_EQ(p.ImageBuffer[174848], 0x05);
  EXPECT_EQ(p.ImageBuffer[175530], 0x0B);
  // One past the last sector, and before the first, there is no error byte.
  p.ErrorByteCursor = 683;
  StoreErrorByte(p, 0x09);
  p.ErrorByteCursor = -1;
  StoreErrorByte(p, 0x09);
  p.ErrorByteCursor = std::numeric_limits<int32_t>::max();
  StoreErrorByte(p, 0x09);
  EXPECT_EQ(p.ImageBuffer[175531], 0x00);
  EXPECT_EQ(p.ImageBuffer[174847], 0x00);
}

TEST_F(GeometryTest, TheCursorWalksTheErrorBytesInTrackOrder) {
  for (uint8_t family : {kFamily1541, kFamily1571}) {
    for (bool forty : {false, true}) {
      Select(family, forty, true, kDisk1571DoubleSided);
      const std::string context = std::to_string(p.TrackCount) + " tracks";
      // The way the per-track routines go through a disk: reset on track 1, one step a sector.
      for (int t = 1; t <= p.TrackCount; ++t) {
        if (t == 1) p.ErrorByteCursor = 0;
        for (int s = 0; s < Track(t).sectorCount; ++s) {
          StoreErrorByte(p, static_cast<uint8_t>(t));
          ++p.ErrorByteCursor;
        }
      }
      ASSERT_EQ(p.ErrorByteCursor, p.ImageFileSize - p.ImageDataSize) << context;
      int64_t at = p.ImageDataSize;
      for (int t = 1; t <= p.TrackCount; ++t) {
        for (int s = 0; s < Track(t).sectorCount; ++s, ++at) {
          ASSERT_EQ(p.ImageBuffer[static_cast<size_t>(at)], t) << context << " " << t << "/" << s;
        }
      }
      EXPECT_EQ(p.ImageBuffer[static_cast<size_t>(at)], 0) << context;
    }
  }
}

TEST_F(GeometryTest, AnImageWithoutErrorBytesHasNoErrorByteArea) {
  Select(kFamily1541);
  p.ErrorByteCursor = 0;
  StoreErrorByte(p, 0x05);
  EXPECT_EQ(p.ImageBuffer[174848], 0x00);
}

}  // namespace
}  // namespace dw
