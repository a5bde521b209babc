// Tracks as the DOS format lays them down, the controller's read, write and seek jobs on them,
// and the defects that image error bytes describe.

#include "media_test_support.h"
#include "sim/media/gcr_code.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/geometry.h"

namespace sim::testing {
namespace {

constexpr DiskId kId = {'A', 'B'};

std::vector<SectorPlan> Plans(int count, uint32_t seed) {
  std::vector<SectorPlan> plans(static_cast<size_t>(count));
  for (size_t s = 0; s < plans.size(); ++s) {
    const Bytes data = RandomBytes(256, seed + static_cast<uint32_t>(s));
    std::copy(data.begin(), data.end(), plans[s].data.begin());
  }
  return plans;
}

Bytes FormattedTrack(int track, const std::vector<SectorPlan>& plans) {
  const int zone = GcrDensityOfTrack(track);
  return BuildGcrTrack(track, kId, plans, GcrFormatGap(zone),
                       static_cast<size_t>(GcrTrackCapacity(zone)));
}

TEST(MediaGcrTrack, ZonesHoldTheBytesOfOneRevolution) {
  struct Expected {
    int track, sectors, capacity, gap;
  };
  for (const Expected& zone : {Expected{1, 21, 7692, 8}, Expected{18, 19, 7142, 17},
                               Expected{25, 18, 6666, 12}, Expected{35, 17, 6250, 9}}) {
    EXPECT_EQ(GcrSectorsOnTrack(zone.track), zone.sectors);
    const int density = GcrDensityOfTrack(zone.track);
    EXPECT_EQ(GcrTrackCapacity(density), zone.capacity);
    EXPECT_EQ(GcrFormatGap(density), zone.gap);
    EXPECT_EQ(FormattedTrack(zone.track, Plans(zone.sectors, 1)).size(),
              static_cast<size_t>(zone.capacity));
  }
  EXPECT_EQ(GcrSectorsOnTrack(40), 17);
  EXPECT_EQ(GcrSectorsOnTrack(43), 0);
  EXPECT_EQ(GcrSectorsBefore(18) * 256, 0x16500);
  EXPECT_EQ(GcrSectorsBefore(36) * 256, 0x2AB00);
}

TEST(MediaGcrTrack, SectorLayoutIsTheFormatRoutines) {
  auto plans = Plans(19, 5);
  const Bytes track = FormattedTrack(18, plans);
  const size_t sectorLength = 5 + 10 + 9 + 5 + 325 + 17;
  for (size_t s = 0; s < 19; ++s) {
    const size_t start = s * sectorLength;
    EXPECT_EQ(Bytes(track.begin() + start, track.begin() + start + 5), Bytes(5, 0xFF));
    const Bytes header(track.begin() + start + 5, track.begin() + start + 15);
    const uint8_t checksum = static_cast<uint8_t>(s ^ 18 ^ 'B' ^ 'A');
    EXPECT_EQ(header, gcr::Encode(Bytes{0x08, checksum, static_cast<uint8_t>(s), 18, 'B', 'A', 0x0F,
                                        0x0F}));
    EXPECT_EQ(Bytes(track.begin() + start + 15, track.begin() + start + 24), Bytes(9, 0x55));
    EXPECT_EQ(Bytes(track.begin() + start + 24, track.begin() + start + 29), Bytes(5, 0xFF));
    Bytes block(260);
    ASSERT_TRUE(gcr::Decode(Bytes(track.begin() + start + 29, track.begin() + start + 354), block));
    EXPECT_EQ(block[0], 0x07);
    EXPECT_TRUE(std::equal(block.begin() + 1, block.begin() + 257, plans[s].data.begin()));
    uint8_t sum = 0;
    for (uint8_t byte : plans[s].data) sum ^= byte;
    EXPECT_EQ(block[257], sum);
    EXPECT_EQ(block[258], 0);
    EXPECT_EQ(block[259], 0);
  }
  EXPECT_EQ(Bytes(track.begin() + 19 * sectorLength, track.end()),
            Bytes(7142 - 19 * sectorLength, 0x55));
}

TEST(MediaGcrTrack, RewritingASectorKeepsTheFormatLayout) {
  auto plans = Plans(21, 9);
  Bytes track = FormattedTrack(3, plans);
  SectorData fresh{};
  fresh.fill(0xA5);
  ASSERT_EQ(WriteGcrSector(track, 3, 11, &kId, fresh), kJobOk);
  plans[11].data = fresh;
  EXPECT_BYTES_EQ(FormattedTrack(3, plans), track);
}

TEST(MediaGcrTrack, ReadAndWriteJobsReportTheirFailures) {
  const auto plans = Plans(21, 11);
  Bytes track = FormattedTrack(1, plans);
  SectorData data{};
  EXPECT_EQ(ReadGcrSector(track, 1, 21, &kId, data), kJobHeaderNotFound);  // no such sector
  EXPECT_EQ(ReadGcrSector(track, 2, 0, &kId, data), kJobHeaderNotFound);   // head on another track
  const DiskId other = {'X', 'Y'};
  EXPECT_EQ(ReadGcrSector(track, 1, 4, &other, data), kJobIdMismatch);
  EXPECT_EQ(ReadGcrSector(track, 1, 4, nullptr, data), kJobOk);
  const Bytes before = track;
  EXPECT_EQ(WriteGcrSector(track, 1, 4, &other, data), kJobIdMismatch);
  EXPECT_EQ(track, before);
  Bytes noise = NoiseTrack(7692, 1);
  EXPECT_EQ(ReadGcrSector(noise, 1, 0, &kId, data), kJobNoSync);
  EXPECT_EQ(WriteGcrSector(noise, 1, 0, &kId, data), kJobNoSync);
}

// Each defect an image can record, built into sector 7, as the read job and an imaging tool see it.
struct DefectCase {
  int defect;
  int readCode;  // the controller cannot tell a sector without syncs from a missing header
  bool dataRead;
};

void PrintTo(const DefectCase& c, std::ostream* out) {
  *out << "defect " << c.defect;
}

class MediaGcrDefect : public ::testing::TestWithParam<DefectCase> {};

TEST_P(MediaGcrDefect, IsReportedAndSalvaged) {
  const DefectCase c = GetParam();
  auto plans = Plans(21, 21);
  plans[7].defect = c.defect;
  const Bytes track = FormattedTrack(2, plans);
  SectorData data{};
  EXPECT_EQ(ReadGcrSector(track, 2, 7, &kId, data), c.readCode);
  if (c.dataRead) {
    EXPECT_EQ(data, plans[7].data);
  }
  for (int s : {6, 8}) EXPECT_EQ(ReadGcrSector(track, 2, s, &kId, data), kJobOk) << s;
  const SalvagedSector salvaged = SalvageGcrTrack(track, 2, 21, kId)[7];
  EXPECT_EQ(salvaged.code, c.defect);
  ASSERT_TRUE(salvaged.hasData);
  EXPECT_EQ(salvaged.data, plans[7].data);
}

INSTANTIATE_TEST_SUITE_P(
    Defects, MediaGcrDefect,
    ::testing::Values(DefectCase{kJobHeaderNotFound, kJobHeaderNotFound, false},
                      DefectCase{kJobNoSync, kJobHeaderNotFound, false},
                      DefectCase{kJobDataBlockNotFound, kJobDataBlockNotFound, false},
                      DefectCase{kJobDataChecksum, kJobDataChecksum, true},
                      DefectCase{kJobHeaderChecksum, kJobHeaderChecksum, false},
                      DefectCase{kJobIdMismatch, kJobIdMismatch, false}));

TEST(MediaGcrTrack, ATrackWithoutAnySyncIsNoSync) {
  auto plans = Plans(17, 3);
  for (SectorPlan& plan : plans) plan.defect = kJobNoSync;
  const Bytes track = FormattedTrack(33, plans);
  SectorData data{};
  EXPECT_EQ(ReadGcrSector(track, 33, 0, &kId, data), kJobNoSync);
  EXPECT_EQ(SeekGcrHeader(track, 0, NoSyncBits(track)).code, kJobNoSync);
  const auto salvaged = SalvageGcrTrack(track, 33, 17, kId);
  for (size_t s = 0; s < 17; ++s) {
    EXPECT_EQ(salvaged[s].code, kJobNoSync) << s;
    EXPECT_EQ(salvaged[s].data, plans[s].data) << s;
  }
  EXPECT_EQ(SalvageGcrTrack(NoiseTrack(6250, 4), 33, 17, kId)[0].code, kJobNoSync);
  EXPECT_FALSE(SalvageGcrTrack(NoiseTrack(6250, 4), 33, 17, kId)[0].hasData);
}

TEST(MediaGcrTrack, ImagingTakesTheIdMostHeadersCarry) {
  auto plans = Plans(19, 8);
  plans[0].defect = kJobIdMismatch;  // the first header of the track carries another ID
  DiskId id{};
  EXPECT_EQ(PrevailingGcrHeaderId(FormattedTrack(18, plans), id), kJobOk);
  EXPECT_EQ(id, kId);
  for (SectorPlan& plan : plans) plan.defect = kJobHeaderChecksum;
  EXPECT_EQ(PrevailingGcrHeaderId(FormattedTrack(18, plans), id), kJobHeaderChecksum);
}

TEST(MediaGcrTrack, SeekTakesTheFirstHeaderThatComesUnderTheHead) {
  auto plans = Plans(19, 8);
  plans[5].defect = kJobIdMismatch;
  plans[9].defect = kJobHeaderChecksum;
  const Bytes track = FormattedTrack(18, plans);
  const size_t sectorBits = (5 + 10 + 9 + 5 + 325 + 17) * 8;
  const size_t trackBits = track.size() * 8;
  const size_t toHeaderEnd = (5 + 10) * 8;  // from a sync's first one bit
  const DiskId foreign = {'A' + 1, 'B'};    // the seek takes it as the disk's
  struct Place {
    size_t bit;
    int code;
    DiskId id;
    size_t passed;  // bits under the head until the header's end
  };
  const Place places[] = {
      // at sector 0's sync
      {0, kJobOk, kId, toHeaderEnd},
      // in the gap before sector 5
      {5 * sectorBits - 17 * 8, kJobOk, foreign, 17 * 8 + toHeaderEnd},
      // its sync starts
      {5 * sectorBits, kJobOk, foreign, toHeaderEnd},
      // the last one bit of that sync
      {5 * sectorBits + 39, kJobOk, foreign, toHeaderEnd - 39},
      // its header is passing: sector 6's
      {5 * sectorBits + 40, kJobOk, kId, sectorBits + toHeaderEnd - 40},
      // a bad header ends the seek
      {9 * sectorBits, kJobHeaderChecksum, kId, toHeaderEnd},
      // past the last: round to sector 0
      {18 * sectorBits + 100, kJobOk, kId, trackBits - 18 * sectorBits - 100 + toHeaderEnd},
      // a revolution later
      {trackBits + 5 * sectorBits, kJobOk, foreign, toHeaderEnd},
  };
  for (const Place& place : places) {
    const SeekedHeader seek = SeekGcrHeader(track, place.bit, NoSyncBits(track));
    EXPECT_EQ(seek.code, place.code) << place.bit;
    if (seek.code == kJobOk) {
      EXPECT_EQ(seek.id, place.id) << place.bit;
    }
    EXPECT_EQ(seek.bitsPassed, place.passed) << place.bit;
  }
}

}  // namespace
}  // namespace sim::testing
