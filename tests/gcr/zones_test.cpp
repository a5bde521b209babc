// Raw track capacity by zone and spindle speed, and what the zone table promises the raw
// reads.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gcr/zones.h"

namespace dw {
namespace {

TEST(ZonesTest, CapacityAtThreeHundredRpm) {
  EXPECT_EQ(NominalTrackCapacity(3, 300.0f), 7692);
  EXPECT_EQ(NominalTrackCapacity(2, 300.0f), 7142);
  EXPECT_EQ(NominalTrackCapacity(1, 300.0f), 6666);
  EXPECT_EQ(NominalTrackCapacity(0, 300.0f), 6250);
}

TEST(ZonesTest, CapacityAtOtherSpeedsIsRoundedDown) {
  EXPECT_EQ(NominalTrackCapacity(3, 310.0f), 7444);
  EXPECT_EQ(NominalTrackCapacity(3, 294.0f), 7849);
  EXPECT_EQ(NominalTrackCapacity(0, 306.0f), 6127);
  EXPECT_EQ(NominalTrackCapacity(2, 299.7f), 7150);  // 7150.007
}

TEST(ZonesTest, NoCapacityForImpossibleZonesOrSpeeds) {
  for (int zone : {-1, 4, 16, 1000}) EXPECT_EQ(NominalTrackCapacity(zone, 300.0f), 0) << zone;
  for (float rpm : {0.0f, -300.0f, std::numeric_limits<float>::quiet_NaN(), 1e-30f}) {
    EXPECT_EQ(NominalTrackCapacity(3, rpm), 0) << rpm;
  }
  EXPECT_EQ(NominalTrackCapacity(3, std::numeric_limits<float>::infinity()), 0);
}

TEST(ZonesTest, RawReadsAskForMoreThanOneRevolution) {
  // The margins by which a raw read exceeds one revolution at 300 rpm, zones 3 to 0.
  const int margins[] = {500, 538, 502, 662};
  for (size_t row = 0; row < kZoneTable.size(); ++row) {
    const ZoneRow& zone = kZoneTable[row];
    EXPECT_EQ(zone.gcrPages * 256 - NominalTrackCapacity(zone.zone, 300.0f), margins[row])
        << "zone " << int{zone.zone};
  }
}

TEST(ZonesTest, ZoneBitsSelectTheZoneInBitsFiveAndSix) {
  EXPECT_EQ(ZoneBits(3), 0x60);
  EXPECT_EQ(ZoneBits(2), 0x40);
  EXPECT_EQ(ZoneBits(1), 0x20);
  EXPECT_EQ(ZoneBits(0), 0x00);
  EXPECT_EQ(ZoneFromBits(0x60 | 0x80), 3);
  EXPECT_EQ(ZoneFromBits(0x40), 2);
}

TEST(ZonesTest, EveryTrackOfASideHasOneZone) {
  EXPECT_EQ(ZoneRowIndex(0), -1);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(1))].zone, 3);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(17))].zone, 3);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(18))].zone, 2);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(24))].zone, 2);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(25))].zone, 1);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(30))].zone, 1);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(31))].zone, 0);
  EXPECT_EQ(kZoneTable[static_cast<size_t>(ZoneRowIndex(70))].zone, 0);
  EXPECT_EQ(ZoneRowIndex(71), -1);
}

}  // namespace
}  // namespace dw
