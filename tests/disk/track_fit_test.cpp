// The track as it goes to the write drive code, fitted to the drive's timed revolution, at every
// tenth of an rpm from 294 to 306: judged from the bytes alone (where each built sector turns
// up in them), not from how the fitting computes its gaps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "disk/build_track.h"
#include "disk/geometry.h"
#include "disk/track_fit.h"
#include "gcr/codec.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr uint8_t kGapByte = 0x55;
constexpr int kSectorBytes = 355;  // syncs, header, header gap, data block
constexpr int kMinGap = 4;
constexpr double kDrift = 0.005;

struct ZoneTrack {
  int track;
  int sectors;
  double byteUs;
};

TEST(TrackFit, AcrossTheBandTheSectorsStayAsBuiltNothingOldSurvivesAndTheWrapLandsOnFiller) {
  VirtualClock clock;
  ScriptedDesk desk{clock};
  VirtualPortOpener ports;
  Program p{desk, clock, ports};
  FillGcrTables(p);
  p.DiskId = {0, 'a', 'b'};
  BuildTrackTable(p);
  const ZoneTrack zones[] = {{1, 21, 26}, {18, 19, 28}, {25, 18, 30}, {31, 17, 32}};
  for (const ZoneTrack& z : zones) {
    const int builtLength = BuildGcrTrack(p, z.track, true, true, nullptr);
    const std::vector<uint8_t> built(p.GcrOutBuffer.begin(),
                                     p.GcrOutBuffer.begin() + builtLength - 1);
    const int builtGap = static_cast<int>(built.size()) / z.sectors - kSectorBytes;
    for (int tenths = 2940; tenths <= 3060; ++tenths) {
      SCOPED_TRACE("track " + std::to_string(z.track) + " at " + std::to_string(tenths / 10.0));
      const int32_t us = static_cast<int32_t>(std::lround(600'000'000.0 / tenths));
      BuildGcrTrack(p, z.track, true, true, nullptr);
      const int length = FitTrackToRevolution(p, z.track, builtLength, {us, us});
      ASSERT_EQ(FittedTrackLength(p, z.track, {us, us}), length);
      ASSERT_EQ(p.GcrOutBuffer[static_cast<size_t>(length - 1)], 0);
      const std::vector<uint8_t> fitted(p.GcrOutBuffer.begin(),
                                        p.GcrOutBuffer.begin() + length - 1);
      ASSERT_EQ(std::count(fitted.begin(), fitted.end(), 0), 0) << "a $00 ends the write early";

      // Each sector as built, in order, with gap bytes only before, between and behind them.
      std::vector<long> at;
      auto from = fitted.begin();
      for (int s = 0; s < z.sectors; ++s) {
        const auto sector = built.begin() + s * (kSectorBytes + builtGap);
        const auto found = std::search(from, fitted.end(), sector, sector + kSectorBytes);
        ASSERT_NE(found, fitted.end()) << "sector " << s;
        ASSERT_TRUE(std::all_of(from, found, [](uint8_t b) { return b == kGapByte; }));
        if (s > 0) {
          EXPECT_GE(found - from, kMinGap) << "gap before sector " << s;
        }
        at.push_back(found - fitted.begin());
        from = found + kSectorBytes;
      }
      ASSERT_TRUE(std::all_of(from, fitted.end(), [](uint8_t b) { return b == kGapByte; }));
      EXPECT_GE(fitted.end() - from, kMinGap) << "gap behind the last sector";

      // A turn holds us / byteUs bytes. The write covers the slowest turn the drive may drift
      // to; at the timed speed what it runs past a turn, and the splice behind it, land before
      // sector 0; so too when the drive speeds up by the drift, wherever the gaps have room.
      const double turn = us / z.byteUs;
      const double written = static_cast<double>(fitted.size());
      EXPECT_GE(written, turn * (1 + kDrift));
      EXPECT_LT(written - turn + 1, static_cast<double>(at[0]));
      const double sectorsAndGaps = written - static_cast<double>(at[0]);
      if (z.sectors * (kSectorBytes + kMinGap) <= std::floor(turn * (1 - kDrift))) {
        EXPECT_LE(written - turn * (1 - kDrift), static_cast<double>(at[0]));
        EXPECT_LE(sectorsAndGaps, turn * (1 - kDrift));
      }
    }
  }
}

}  // namespace
}  // namespace dw
