// Image files in and out of virtual disks, against images made by cc1541: every sector read
// through the GCR tracks, byte-exact saves, error bytes, G64, and broken files.

#include "media_test_support.h"
#include "sim/media/gcr_disk.h"
#include "sim/media/geometry.h"
#include "sim/media/sector_disk.h"

namespace sim::testing {
namespace {

std::unique_ptr<Disk> MustLoad(const std::string& path) {
  std::string error;
  auto disk = Disk::Load(path, &error);
  EXPECT_TRUE(disk) << error;
  return disk;
}

// Every sector of the disk, read as the controller does, equals the image's sector data.
void ExpectSectorsEqualImage(Disk& disk, const Bytes& image, int tracks) {
  size_t offset = 0;
  for (int t = 1; t <= tracks; ++t) {
    for (int s = 0; s < disk.SectorsOnTrack(t); ++s, offset += 256) {
      SectorData data{};
      ASSERT_EQ(disk.ReadSector(t, s, data), kJobOk) << t << "/" << s;
      ASSERT_TRUE(std::equal(data.begin(), data.end(), image.begin() + static_cast<long>(offset)))
          << "sector " << t << "/" << s << " differs";
    }
  }
  EXPECT_EQ(offset, image.size());
}

class MediaOracleImage : public ::testing::TestWithParam<std::string> {};

TEST_P(MediaOracleImage, SectorsReadBackAndSaveByteForByte) {
  REQUIRE_TOOL("cc1541");
  TempDir dir;
  const std::string extension = GetParam();
  const std::string path = MakeOracleImage(dir, "oracle." + extension, SampleFiles(100));
  ASSERT_FALSE(path.empty());
  const Bytes image = ReadFile(path);
  auto disk = MustLoad(path);
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->TrackCount(), extension == "d64" ? 35 : extension == "d71" ? 70 : 80);
  ExpectSectorsEqualImage(*disk, image, disk->TrackCount());
  std::string error;
  ASSERT_TRUE(disk->Save(dir / ("again." + extension), &error)) << error;
  EXPECT_BYTES_EQ(image, ReadFile(dir / ("again." + extension)));
}

INSTANTIATE_TEST_SUITE_P(Formats, MediaOracleImage, ::testing::Values("d64", "d71", "d81"));

TEST(MediaImage, HeadersCarryTheBamIdAndSideTwoTrackNumbers) {
  REQUIRE_TOOL("cc1541");
  TempDir dir;
  const std::string path = MakeOracleImage(dir, "two.d71", SampleFiles(3));
  auto disk = MustLoad(path);
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->HeaderId(18), (std::array<uint8_t, 2>{'O', 'D'}));
  EXPECT_EQ(disk->HeaderId(53), (std::array<uint8_t, 2>{'O', 'D'}));
  // Side 2 is recorded in zone 3 for DOS track 36, with 36 in its headers.
  EXPECT_EQ(disk->TrackZone(36), 3);
  EXPECT_EQ(disk->RawTrack(36).size(), 7692u);
  SectorData data{};
  EXPECT_EQ(ReadGcrSector(disk->RawTrack(36), 36, 20, nullptr, data), kJobOk);
  EXPECT_EQ(ReadGcrSector(disk->RawTrack(36), 1, 20, nullptr, data), kJobHeaderNotFound);
}

// A D64 whose error bytes name every defect that can be built, on sectors spread over the disk.
Bytes D64WithErrors(int tracks, uint32_t seed) {
  const size_t sectors = static_cast<size_t>(GcrSectorsBefore(tracks + 1));
  Bytes image = RandomBytes(sectors * 256, seed);
  const size_t bam = 0x16500;
  image[bam + 0xA2] = '1';
  image[bam + 0xA3] = '2';
  Bytes errors(sectors, 0x01);
  const uint8_t codes[] = {2, 3, 4, 5, 9, 11};
  for (size_t i = 0; i < sectors; i += 37) errors[i] = codes[(i / 37) % 6];
  for (int s = 0; s < 21; ++s) errors[static_cast<size_t>(GcrSectorsBefore(5) + s)] = 3;  // track 5
  image.insert(image.end(), errors.begin(), errors.end());
  return image;
}

TEST(MediaImage, ErrorBytesBecomeDefectsAndComeBack) {
  TempDir dir;
  for (int tracks : {35, 40}) {
    const Bytes image = D64WithErrors(tracks, static_cast<uint32_t>(tracks));
    WriteFile(dir / "errors.d64", image);
    auto disk = MustLoad(dir / "errors.d64");
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->TrackCount(), tracks);
    const size_t sectors = static_cast<size_t>(GcrSectorsBefore(tracks + 1));
    size_t index = 0;
    for (int t = 1; t <= tracks; ++t) {
      for (int s = 0; s < GcrSectorsOnTrack(t); ++s, ++index) {
        const int recorded = image[sectors * 256 + index];
        // The controller sees a sector without syncs as a missing header, unless the whole
        // track has none.
        const int expected = recorded == 3 && t != 5 ? 2 : recorded;
        SectorData data{};
        EXPECT_EQ(disk->ReadSector(t, s, data), expected) << t << "/" << s;
      }
    }
    std::string error;
    ASSERT_TRUE(disk->Save(dir / "back.d64", &error)) << error;
    EXPECT_BYTES_EQ(image, ReadFile(dir / "back.d64"));
  }
}

TEST(MediaImage, ErrorBytesAreWrittenOnlyWhenNeeded) {
  TempDir dir;
  Bytes plain = RandomBytes(174848, 4);
  WriteFile(dir / "plain.d64", plain);
  auto disk = MustLoad(dir / "plain.d64");
  std::string error;
  ASSERT_TRUE(disk->Save(dir / "plain2.d64", &error));
  EXPECT_EQ(ReadFile(dir / "plain2.d64").size(), 174848u);

  Bytes allGood = plain;
  allGood.insert(allGood.end(), 683, 0x01);
  WriteFile(dir / "good.d64", allGood);
  ASSERT_TRUE(MustLoad(dir / "good.d64")->Save(dir / "good2.d64", &error));
  EXPECT_BYTES_EQ(allGood, ReadFile(dir / "good2.d64"));

  // A sector damaged after loading brings error bytes into the saved image.
  auto gcr = MustLoad(dir / "plain.d64");
  Bytes& raw = gcr->RawTrack(10);
  std::fill(raw.begin(), raw.end(), 0x55);  // the whole track lost
  ASSERT_TRUE(gcr->Save(dir / "damaged.d64", &error));
  const Bytes damaged = ReadFile(dir / "damaged.d64");
  ASSERT_EQ(damaged.size(), 175531u);
  EXPECT_EQ(damaged[174848 + 9 * 21], kJobNoSync);
  EXPECT_EQ(damaged[174848 + 0], kJobOk);
}

TEST(MediaImage, D71AndD81KeepTheirErrorBytes) {
  TempDir dir;
  Bytes d71 = RandomBytes(349696, 5);
  Bytes errors(1366, 1);
  errors[700] = 5;   // side 2
  errors[1365] = 9;  // last sector of track 70
  d71.insert(d71.end(), errors.begin(), errors.end());
  WriteFile(dir / "e.d71", d71);
  auto disk = MustLoad(dir / "e.d71");
  SectorData data{};
  EXPECT_EQ(disk->ReadSector(70, 16, data), kJobHeaderChecksum);
  std::string error;
  ASSERT_TRUE(disk->Save(dir / "e2.d71", &error));
  EXPECT_BYTES_EQ(d71, ReadFile(dir / "e2.d71"));

  Bytes d81 = RandomBytes(819200, 6);
  Bytes codes(3200, 1);
  codes[0] = 5;
  codes[3199] = 2;
  d81.insert(d81.end(), codes.begin(), codes.end());
  WriteFile(dir / "e.d81", d81);
  auto disk81 = MustLoad(dir / "e.d81");
  EXPECT_EQ(disk81->ReadSector(1, 0, data), kJobDataChecksum);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), d81.begin()));
  EXPECT_EQ(disk81->ReadSector(80, 39, data), kJobHeaderNotFound);
  EXPECT_EQ(disk81->WriteSector(80, 39, data), kJobHeaderNotFound);
  ASSERT_TRUE(disk81->Save(dir / "e2.d81", &error));
  EXPECT_BYTES_EQ(d81, ReadFile(dir / "e2.d81"));
}

TEST(MediaImage, G64FromCc1541MatchesItsD64) {
  REQUIRE_TOOL("cc1541");
  TempDir dir;
  const std::string d64 = MakeOracleImage(dir, "g.d64", SampleFiles(7), "-g g.g64");
  ASSERT_FALSE(d64.empty());
  const Bytes g64 = ReadFile(dir / "g.g64");
  ASSERT_GT(g64.size(), 12u);
  ASSERT_LT(g64[9], 84) << "cc1541 writes fewer than 84 entries, the case this test is about";
  auto disk = MustLoad(dir / "g.g64");
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->TrackCount(), 35);
  ExpectSectorsEqualImage(*disk, ReadFile(d64), 35);
  std::string error;
  ASSERT_TRUE(disk->Save(dir / "from-g64.d64", &error)) << error;
  EXPECT_BYTES_EQ(ReadFile(d64), ReadFile(dir / "from-g64.d64"));
}

TEST(MediaImage, G64SaveKeepsEveryRawTrack) {
  TempDir dir;
  WriteFile(dir / "src.d64", RandomBytes(174848, 8));
  auto disk = MustLoad(dir / "src.d64");
  // A track longer than the standard G64 record survives too.
  Bytes& raw = disk->RawTrack(7);
  raw.insert(raw.begin(), 400, 0x55);
  std::string error;
  ASSERT_TRUE(disk->Save(dir / "raw.g64", &error)) << error;
  const Bytes g64 = ReadFile(dir / "raw.g64");
  EXPECT_EQ(Bytes(g64.begin(), g64.begin() + 8), Text("GCR-1541"));
  EXPECT_EQ(g64[9], 84);
  auto again = MustLoad(dir / "raw.g64");
  for (int t = 1; t <= 35; ++t) {
    EXPECT_EQ(again->RawTrack(t), disk->RawTrack(t)) << t;
    EXPECT_EQ(again->TrackZone(t), disk->TrackZone(t)) << t;
  }
}

TEST(MediaImage, BrokenFilesAreRefusedWithAClearReason) {
  TempDir dir;
  struct Broken {
    std::string name;
    Bytes bytes;
    std::string mentions;
  };
  Bytes badTable = Text("GCR-1541");
  badTable.insert(badTable.end(), {0, 84, 0xF8, 0x1E});
  Bytes trackPastEnd = badTable;
  trackPastEnd.resize(12 + 8 * 84);
  trackPastEnd[12] = 0xAC;  // track 1 record at $2AC: beyond the file's end
  trackPastEnd[13] = 0x02;
  // Track 1's record at $FFFFFFFF: two bytes further would wrap around to the file's start.
  Bytes offsetWraps = Text("GCR-1541");
  offsetWraps.insert(offsetWraps.end(), {0x01, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0x00, 0x00, 0x94, 0xA5, 0x29, 0x4A});
  const Broken cases[] = {
      {"short.d64", RandomBytes(1000, 1), "1000 bytes"},
      {"long.d64", RandomBytes(174849, 1), "174849 bytes"},
      {"empty.d71", {}, "0 bytes"},
      {"half.d81", RandomBytes(409600, 1), "409600 bytes"},
      {"text.g64", Text("this is not a disk image at all"), "GCR-1541"},
      {"tiny.g64", Text("GCR"), "only 3 bytes"},
      {"table.g64", badTable, "track tables"},
      {"track.g64", trackPastEnd, "G64 track 1"},
      {"wraps.g64", offsetWraps, "offset 4294967295"},
      {"disk.txt", RandomBytes(174848, 1), ".d64"},
  };
  for (const Broken& c : cases) {
    WriteFile(dir / c.name, c.bytes);
    std::string error;
    EXPECT_EQ(Disk::Load(dir / c.name, &error), nullptr) << c.name;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(c.name), std::string::npos) << c.name << ": " << error;
  }
  std::string error;
  EXPECT_EQ(Disk::Load(dir / "missing.d64", &error), nullptr);
  EXPECT_NE(error.find("missing.d64"), std::string::npos) << error;
}

TEST(MediaImage, FailedSaveLeavesNoFileBehind) {
  TempDir dir;
  auto disk = Disk::Blank(true, false);
  std::string error;
  EXPECT_FALSE(disk->Save(dir / "no/such/folder/x.d64", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(disk->Save(dir / "x.d81", &error));
  EXPECT_NE(error.find(".d64"), std::string::npos) << error;
  EXPECT_FALSE(Disk::Blank(false, false)->Save(dir / "x.d64", &error));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(MediaImage, BlankDisksHoldNothing) {
  auto gcr = Disk::Blank(true, true);
  EXPECT_EQ(gcr->TrackCount(), 70);
  SectorData data{};
  EXPECT_EQ(gcr->ReadSector(18, 0, data), kJobNoSync);
  EXPECT_EQ(gcr->ReadSector(53, 0, data), kJobNoSync);
  EXPECT_EQ(gcr->RawTrack(1).size(), 7692u);
  std::array<uint8_t, 2> id{};
  EXPECT_EQ(gcr->SeekHeader(18, id), kJobNoSync);
  auto mfm = Disk::Blank(false, true);
  EXPECT_FALSE(mfm->IsGcr());
  EXPECT_EQ(mfm->TrackCount(), 80);
  EXPECT_EQ(mfm->ReadSector(40, 0, data), kJobNoSync);
  EXPECT_EQ(mfm->WriteSector(40, 0, data), kJobNoSync);
  EXPECT_TRUE(mfm->RawTrack(1).empty());
}

TEST(MediaImage, WriteProtectionRefusesEveryWrite) {
  TempDir dir;
  WriteFile(dir / "p.d64", RandomBytes(174848, 9));
  auto disk = MustLoad(dir / "p.d64");
  disk->writeProtected = true;
  const Bytes before = disk->RawTrack(3);
  SectorData data{};
  data.fill(7);
  EXPECT_EQ(disk->WriteSector(3, 3, data), kJobWriteProtect);
  EXPECT_EQ(disk->FormatTrack(3, {'a', 'b'}, data), kJobWriteProtect);
  EXPECT_EQ(disk->RawTrack(3), before);
  auto d81 = Disk::Blank(false, false);
  d81->writeProtected = true;
  EXPECT_EQ(d81->FormatTrack(1, {'a', 'b'}, data), kJobWriteProtect);
}

}  // namespace
}  // namespace sim::testing
