// Raw tracks as rings of bits: syncs found at any bit position, blocks read across the end of
// the track, writes at bit positions.

#include "media_test_support.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/geometry.h"
#include "sim/media/raw_track.h"

namespace sim::testing {
namespace {

// The track turned by a number of bits: the same recording seen from another start.
Bytes Rotated(const Bytes& track, size_t bits) {
  Bytes out(track.size());
  RawTrackBits(track).Read(bits, out);
  return out;
}

std::vector<SectorPlan> RandomSectors(int count, uint32_t seed) {
  std::vector<SectorPlan> plans(static_cast<size_t>(count));
  for (size_t s = 0; s < plans.size(); ++s) {
    const Bytes data = RandomBytes(256, seed + static_cast<uint32_t>(s));
    std::copy(data.begin(), data.end(), plans[s].data.begin());
  }
  return plans;
}

TEST(MediaRawTrack, FindsSyncsWhereverTheyStart) {
  // 0000 0011 1111 1111 1000 ...: eleven ones from bit 6, the first zero at bit 17.
  const Bytes track = {0x03, 0xFF, 0x80, 0x00, 0x00};
  const RawTrackBits bits(track);
  EXPECT_EQ(bits.NextSyncEnd(0, 40), std::optional<size_t>(17));
  EXPECT_TRUE(bits.HasSync());
  // Nine ones are no sync.
  EXPECT_FALSE(RawTrackBits(Bytes{0x01, 0xFF, 0x00, 0x00}).HasSync());
  // A track of ones only never ends a sync.
  EXPECT_FALSE(RawTrackBits(Bytes(100, 0xFF)).HasSync());
}

TEST(MediaRawTrack, SyncSearchStopsAtItsLimit) {
  const Bytes track = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00};
  const RawTrackBits bits(track);
  EXPECT_EQ(bits.NextSyncEnd(0, 48), std::optional<size_t>(40));
  EXPECT_EQ(bits.NextSyncEnd(0, 30), std::nullopt);
}

TEST(MediaRawTrack, SectorsReadAtEveryBitShiftAndAcrossTheTrackEnd) {
  const DiskId id = {'Z', 'X'};
  const auto plans = RandomSectors(17, 40);
  const Bytes track = BuildGcrTrack(31, id, plans, GcrFormatGap(0), 6250);
  // Shifts inside a byte and turns that cut sector 0 or 16 in two at the track's end.
  for (size_t shift : {1u, 3u, 7u, 8u * 6250u - 100u, 8u * 6000u + 5u, 8u * 200u + 3u}) {
    const Bytes turned = Rotated(track, shift);
    for (int s = 0; s < 17; ++s) {
      SectorData data{};
      ASSERT_EQ(ReadGcrSector(turned, 31, s, &id, data), kJobOk)
          << "shift " << shift << " sector " << s;
      EXPECT_EQ(data, plans[static_cast<size_t>(s)].data);
    }
  }
}

TEST(MediaRawTrack, WritesAtBitPositionsWrapAround) {
  Bytes track(16, 0x00);
  const Bytes payload = {0xFF, 0x81, 0x5A};
  WriteRawBits(track, 8 * 15 + 3, payload);  // starts 3 bits into the last byte
  Bytes back(3);
  RawTrackBits(track).Read(8 * 15 + 3, back);
  EXPECT_EQ(back, payload);
  EXPECT_EQ(track[15], 0x1F);  // the 3 bits before the write are untouched
  EXPECT_EQ(track[2], 0x40);   // and so are the bits after it
}

TEST(MediaRawTrack, InPlaceWriteOnAShiftedTrackReadsBack) {
  const DiskId id = {'A', 'B'};
  const auto plans = RandomSectors(21, 90);
  Bytes track = Rotated(BuildGcrTrack(5, id, plans, GcrFormatGap(3), 7692), 8 * 7600 + 5);
  SectorData fresh{};
  fresh.fill(0x3C);
  ASSERT_EQ(WriteGcrSector(track, 5, 20, &id, fresh), kJobOk);  // sector 20 crosses the end
  for (int s = 0; s < 21; ++s) {
    SectorData data{};
    ASSERT_EQ(ReadGcrSector(track, 5, s, &id, data), kJobOk) << s;
    EXPECT_EQ(data, s == 20 ? fresh : plans[static_cast<size_t>(s)].data) << s;
  }
}

}  // namespace
}  // namespace sim::testing
