// Sync count, bit-rate zone and byte capacity of a raw track read, from the byte-rate count
// the drive appends.

#include <vector>

#include "gcr/raw_track_stats.h"
#include "gcr_test_support.h"

namespace dw {
namespace {

using Bytes = std::vector<uint8_t>;

class RawTrackStatsTest : public gcrtest::ProgramTest {
 protected:
  // Raw GCR bytes followed by the count, low byte first.
  void SetRead(Bytes raw, uint16_t count) {
    raw.push_back(static_cast<uint8_t>(count & 0xFF));
    raw.push_back(static_cast<uint8_t>(count >> 8));
    SetReply(std::move(raw));
  }

  void SpoilStats() { p.TrackStats = {99, 7, 12345}; }

  void ExpectAllZero() {
    EXPECT_EQ(p.TrackStats.syncCount, 0);
    EXPECT_EQ(p.TrackStats.bitrateZone, 0);
    EXPECT_EQ(p.TrackStats.byteCapacity, 0);
  }
};

TEST_F(RawTrackStatsTest, ZoneThreeCountGivesZoneThreeAndItsCapacity) {
  SetRead(Bytes(8192, 0x55), 1368);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.bitrateZone, 3);
  EXPECT_EQ(p.TrackStats.byteCapacity, 7695);
}

TEST_F(RawTrackStatsTest, ZoneZeroCountGivesZoneZeroAndItsCapacity) {
  SetRead(Bytes(6912, 0x55), 1111);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.bitrateZone, 0);
  EXPECT_EQ(p.TrackStats.byteCapacity, 6249);
}

TEST_F(RawTrackStatsTest, ByteTimesBetweenZonesRoundHalvesToEven) {
  // count -> byte time in microseconds -> zone
  struct Case {
    uint16_t count;
    int byteTime;
    int zone;
  };
  const Case cases[] = {
      {1368, 26, 3}, {1317, 27, 2}, {1270, 28, 2}, {1226, 29, 2}, {1185, 30, 1},     {1147, 31, 0},
      {1111, 32, 0}, {1078, 33, 0}, {1046, 34, 1}, {1395, 25, 3}, {1270 * 2, 14, 3},
  };
  for (const Case& c : cases) {
    SetRead(Bytes(100, 0x55), c.count);
    MeasureRawTrack(p);
    EXPECT_EQ(p.TrackStats.bitrateZone, c.zone)
        << "count " << c.count << " (" << c.byteTime << " us)";
  }
}

TEST_F(RawTrackStatsTest, AZoneFarOutsideTheTableIsTheFastestZone) {
  // count 1: a byte every 35,556 microseconds, zone 17,762 by the rule, which would wrap to a
  // small number in one byte; 65535: a byte a microsecond, zone 16.
  for (const uint16_t count : {1, 65535}) {
    SetRead(Bytes(100, 0x55), count);
    MeasureRawTrack(p);
    EXPECT_EQ(p.TrackStats.bitrateZone, 3) << "count " << count;
  }
}

TEST_F(RawTrackStatsTest, CapacityFollowsTheMeasuredRevolutionTime) {
  p.RevolutionTimeUs = 190000;
  SetRead(Bytes(100, 0x55), 1368);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.byteCapacity, 7310);  // 5.34375 * 1368 = 7310.25
  p.RevolutionTimeUs = 200000;
  SetRead(Bytes(100, 0x55), 1000);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.byteCapacity, 5625);
}

TEST_F(RawTrackStatsTest, ShortRepliesAndZeroCountsGiveAllZero) {
  for (size_t length = 0; length <= 6; ++length) {
    SpoilStats();
    SetReply(Bytes(length, 0xFF));
    MeasureRawTrack(p);
    ExpectAllZero();
  }
  SpoilStats();
  SetRead(Bytes(5, 0xFF), 0);
  MeasureRawTrack(p);
  ExpectAllZero();
}

TEST_F(RawTrackStatsTest, OnlyFFBytesHaveNoSyncEnd) {
  SetRead(Bytes(8192, 0xFF), 1368);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.syncCount, 0);
}

TEST_F(RawTrackStatsTest, EachSyncMarkOfTheFirstRevolutionCountsOnce) {
  Bytes raw;
  for (int mark = 0; mark < 42; ++mark) {
    raw.insert(raw.end(), 5, 0xFF);
    raw.insert(raw.end(), 150, 0x55);
  }
  ASSERT_LT(raw.size(), 7695u);
  raw.resize(7695, 0x55);
  // Past one revolution the read repeats the start of the track.
  for (int mark = 0; mark < 3; ++mark) {
    raw.insert(raw.end(), 5, 0xFF);
    raw.insert(raw.end(), 100, 0x55);
  }
  SetRead(raw, 1368);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.syncCount, 42);
}

TEST_F(RawTrackStatsTest, ASyncEndNeedsTwoFFBytes) {
  // One $FF, then two, then three.
  Bytes raw{0x55, 0xFF, 0x55, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF, 0x52};
  raw.resize(200, 0x55);
  SetRead(raw, 1368);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.syncCount, 2);
}

TEST_F(RawTrackStatsTest, OnlyTheFirstByteCapacityPlusOneBytesAreSearched) {
  // Capacity 5625 at count 1000: a mark starting at 5625 still counts, one at 5626 not.
  for (size_t start : {size_t{5625}, size_t{5626}}) {
    Bytes raw(6000, 0x55);
    raw[start] = 0xFF;
    raw[start + 1] = 0xFF;
    SetRead(raw, 1000);
    MeasureRawTrack(p);
    EXPECT_EQ(p.TrackStats.syncCount, start == 5625 ? 1 : 0) << "mark at " << start;
  }
}

TEST_F(RawTrackStatsTest, AByteBeyondTheReplyCountsAsNotFF) {
  // The count $FFFF itself ends in two $FF bytes with nothing behind them.
  SetRead(Bytes(10, 0x00), 0xFFFF);
  MeasureRawTrack(p);
  EXPECT_EQ(p.TrackStats.syncCount, 1);
  EXPECT_EQ(p.TrackStats.byteCapacity, 368634);
}

}  // namespace
}  // namespace dw
