// Loading and saving files through the DOS, against cc1541 and cbmconvert, and the DOS's own
// block allocation.

#include "media_test_support.h"
#include "sim/media/gcr_disk.h"

namespace sim::testing {
namespace {

constexpr char kOk[] = "00, OK,00,00\r";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(c));
  return text;
}

std::string Extension(const OracleFile& file) {
  return file.type == "SEQ" ? ".seq" : ".prg";
}

struct DriveCase {
  std::string extension;
  DriveKind kind;
  int format;
};

void PrintTo(const DriveCase& c, std::ostream* out) {
  *out << c.extension;
}

class DosFileOracle : public ::testing::TestWithParam<DriveCase> {};

TEST_P(DosFileOracle, LoadingGivesWhatCbmconvertExtracts) {
  REQUIRE_TOOL("cc1541");
  REQUIRE_TOOL("cbmconvert");
  TempDir dir;
  const auto files = SampleFiles(300);
  const std::string path = MakeOracleImage(dir, "load." + GetParam().extension, files);
  ASSERT_FALSE(path.empty());
  const auto extracted = ExtractWithCbmconvert(path);
  std::string error;
  auto disk = Disk::Load(path, &error);
  ASSERT_TRUE(disk) << error;
  Dos dos(GetParam().kind, true);
  dos.SetDisk(disk.get());
  for (const OracleFile& file : files) {
    const Loaded loaded = LoadFile(dos, Upper(file.name));
    EXPECT_TRUE(loaded.eoi) << file.name;
    EXPECT_EQ(loaded.message, kOk) << file.name;
    const auto it = extracted.find(file.name + Extension(file));
    ASSERT_NE(it, extracted.end()) << file.name;
    EXPECT_BYTES_EQ(it->second, loaded.bytes);
  }
}

TEST_P(DosFileOracle, SavedFilesAreWhatCbmconvertExtracts) {
  REQUIRE_TOOL("cbmconvert");
  TempDir dir;
  const DriveCase drive = GetParam();
  auto disk = FormattedDisk(drive.kind, "N:SAVED,SV");
  Dos dos(drive.kind, true);
  dos.SetDisk(disk.get());
  const auto files = SampleFiles(400);
  for (const OracleFile& file : files) {
    const std::string name = Upper(file.name) + (file.type == "SEQ" ? ",S,W" : "");
    EXPECT_EQ(SaveFile(dos, name, file.bytes, file.type == "SEQ" ? 5 : 1), kOk) << name;
  }
  std::string error;
  ASSERT_TRUE(disk->Save(dir / ("saved." + drive.extension), &error)) << error;
  const Bytes image = ReadFile(dir / ("saved." + drive.extension));
  ExpectBamConsistent(image, drive.format);
  const auto extracted = ExtractWithCbmconvert(dir / ("saved." + drive.extension));
  ASSERT_EQ(extracted.size(), files.size());
  for (const OracleFile& file : files) {
    const auto it = extracted.find(file.name + Extension(file));
    ASSERT_NE(it, extracted.end()) << file.name;
    EXPECT_BYTES_EQ(file.bytes, it->second);
  }
  // The listing's figure is the BAM's: every block of the files is gone from it.
  int blocks = 0;
  for (const OracleFile& file : files) blocks += static_cast<int>((file.bytes.size() + 253) / 254);
  const int empty = drive.kind == DriveKind::k1581   ? 3160
                    : drive.kind == DriveKind::k1571 ? 1328
                                                     : 664;
  EXPECT_EQ(ParseListing(ReadListing(dos)).back().number, empty - blocks);
}

INSTANTIATE_TEST_SUITE_P(Drives, DosFileOracle,
                         ::testing::Values(DriveCase{"d64", DriveKind::k1541, 64},
                                           DriveCase{"d71", DriveKind::k1571, 71},
                                           DriveCase{"d81", DriveKind::k1581, 81}),
                         [](const auto& info) { return info.param.extension; });

std::vector<std::pair<int, int>> ChainOf(Disk& disk, int track, int sector) {
  std::vector<std::pair<int, int>> chain;
  while (track != 0) {
    chain.push_back({track, sector});
    const SectorData data = SectorOf(disk, track, sector);
    track = data[0];
    sector = data[1];
  }
  return chain;
}

TEST(DosFile, BlocksGoWhereTheDosPutsThem) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "LONG", RandomBytes(22 * 254, 1)), kOk);
  const std::vector<std::pair<int, int>> expected = {
      {17, 0},  {17, 10}, {17, 20}, {17, 8}, {17, 18}, {17, 6}, {17, 16}, {17, 4},
      {17, 14}, {17, 2},  {17, 12}, {17, 1}, {17, 11}, {17, 3}, {17, 13}, {17, 5},
      {17, 15}, {17, 7},  {17, 17}, {17, 9}, {17, 19}, {16, 7}};
  EXPECT_EQ(ChainOf(*disk, 17, 0), expected);
  ASSERT_EQ(SaveFile(dos, "NEXT", Bytes{1}), kOk);
  EXPECT_EQ(SectorOf(*disk, 18, 1)[0x20 + 3],
            19);  // track 17 is full: the next file starts at 19/0
  EXPECT_EQ(SectorOf(*disk, 18, 1)[0x20 + 4], 0);
}

TEST(DosFile, TheDirectoryGrowsByThreeSectors) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  for (int i = 0; i < 17; ++i) ASSERT_EQ(SaveFile(dos, "F" + std::to_string(i), Bytes{1}), kOk);
  std::vector<std::pair<int, int>> chain = ChainOf(*disk, 18, 1);
  EXPECT_EQ(chain, (std::vector<std::pair<int, int>>{{18, 1}, {18, 4}, {18, 7}}));
  EXPECT_EQ(SectorOf(*disk, 18, 7)[1], 0xFF);
}

TEST(DosFile, OtherDrivesAllocateWithTheirInterleave) {
  auto d81 = FormattedDisk(DriveKind::k1581);
  Dos dos81(DriveKind::k1581);
  dos81.SetDisk(d81.get());
  ASSERT_EQ(SaveFile(dos81, "A", RandomBytes(42 * 254, 2)), kOk);
  const auto chain81 = ChainOf(*d81, 39, 0);
  ASSERT_EQ(chain81.size(), 42u);
  EXPECT_EQ(chain81[39], (std::pair<int, int>{39, 39}));
  EXPECT_EQ(chain81[40], (std::pair<int, int>{38, 0}));

  auto d71 = FormattedDisk(DriveKind::k1571);
  Dos dos71(DriveKind::k1571);
  dos71.SetDisk(d71.get());
  ASSERT_EQ(SaveFile(dos71, "B", RandomBytes(5 * 254, 3)), kOk);
  EXPECT_EQ(ChainOf(*d71, 17, 0),
            (std::vector<std::pair<int, int>>{{17, 0}, {17, 6}, {17, 12}, {17, 18}, {17, 2}}));
}

TEST(DosFile, LoadFindsTheFirstMatchAndReportsMissingFiles) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "FIRST", Bytes{1, 1}), kOk);
  ASSERT_EQ(SaveFile(dos, "FILE2", Bytes{2, 2}), kOk);
  EXPECT_EQ(LoadFile(dos, "F*").bytes, (Bytes{1, 1}));
  EXPECT_EQ(LoadFile(dos, "*").bytes, (Bytes{1, 1}));
  EXPECT_EQ(LoadFile(dos, "FIL?2").bytes, (Bytes{2, 2}));
  EXPECT_EQ(LoadFile(dos, "0:FILE2").bytes, (Bytes{2, 2}));
  const Loaded missing = LoadFile(dos, "NOTHERE");
  EXPECT_FALSE(missing.opened);
  EXPECT_TRUE(missing.bytes.empty());
  EXPECT_EQ(missing.message, "62, FILE NOT FOUND,00,00\r");
  EXPECT_EQ(LoadFile(dos, "FIRS").message, "62, FILE NOT FOUND,00,00\r");  // no prefix match
  EXPECT_EQ(LoadFile(dos, "FIRST,S", 3).message, "64, FILE TYPE MISMATCH,00,00\r");
  EXPECT_EQ(LoadFile(dos, "").message, "34,SYNTAX ERROR,00,00\r");
  // The message was read: it is back to OK.
  EXPECT_EQ(dos.TakeErrorMessage(), kOk);
}

TEST(DosFile, AReadErrorStopsTheLoadAtItsBlock) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  const Bytes data = RandomBytes(700, 4);
  ASSERT_EQ(SaveFile(dos, "BROKEN", data), kOk);
  // Spoil the second block (17/10): its data checksum no longer fits.
  auto& gcrDisk = static_cast<GcrDisk&>(*disk);
  std::vector<SectorPlan> plans(21);
  for (int s = 0; s < 21; ++s) plans[static_cast<size_t>(s)].data = SectorOf(*disk, 17, s);
  plans[10].defect = kJobDataChecksum;
  gcrDisk.LayTrack(0, 17, gcrDisk.id(), plans);
  const Loaded loaded = LoadFile(dos, "BROKEN");
  EXPECT_TRUE(loaded.opened);
  EXPECT_FALSE(loaded.eoi);
  EXPECT_BYTES_EQ(Bytes(data.begin(), data.begin() + 254), loaded.bytes);
  EXPECT_EQ(loaded.message, "23,READ ERROR,17,10\r");
  // A spoiled first block refuses the open.
  plans[10].defect = kJobOk;
  plans[0].defect = kJobHeaderNotFound;
  gcrDisk.LayTrack(0, 17, gcrDisk.id(), plans);
  const Loaded first = LoadFile(dos, "BROKEN");
  EXPECT_FALSE(first.opened);
  EXPECT_EQ(first.message, "20,READ ERROR,17,00\r");
}

TEST(DosFile, ReplaceFreesTheOldBlocksAfterTheClose) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "PROG", RandomBytes(3000, 5)), kOk);
  EXPECT_EQ(SaveFile(dos, "PROG", Bytes{9}), "63, FILE EXISTS,00,00\r");
  EXPECT_EQ(SaveFile(dos, "0:PROG", Bytes{9}), "63, FILE EXISTS,00,00\r");
  // While the new file is written the old one is still the file.
  const Bytes fresh = RandomBytes(500, 6);
  ASSERT_TRUE(dos.Open(1, Text("@0:PROG,P,W")));
  ASSERT_TRUE(dos.Write(1, fresh));
  EXPECT_EQ(LoadFile(dos, "PROG", 2).bytes.size(), 3000u);
  dos.Close(1);
  EXPECT_EQ(dos.TakeErrorMessage(), kOk);
  EXPECT_EQ(LoadFile(dos, "PROG").bytes, fresh);
  const auto lines = ParseListing(ReadListing(dos));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back().number, 664 - 2);
  std::string error;
  TempDir dir;
  ASSERT_TRUE(disk->Save(dir / "r.d64", &error));
  ExpectBamConsistent(ReadFile(dir / "r.d64"), 64);
}

TEST(DosFile, DiskFullKeepsWhatFitAndTheBamConsistent) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  const Bytes huge = RandomBytes(664 * 254 + 300, 7);
  EXPECT_EQ(SaveFile(dos, "HUGE", huge), "72, DISK FULL,00,00\r");
  const Loaded loaded = LoadFile(dos, "HUGE");
  EXPECT_EQ(loaded.message, kOk);
  ASSERT_EQ(loaded.bytes.size(), 664u * 254u);
  EXPECT_TRUE(std::equal(loaded.bytes.begin(), loaded.bytes.end(), huge.begin()));
  EXPECT_EQ(ParseListing(ReadListing(dos)).back().number, 0);
  EXPECT_EQ(SaveFile(dos, "MORE", Bytes{1}), "72, DISK FULL,00,00\r");
  std::string error;
  TempDir dir;
  ASSERT_TRUE(disk->Save(dir / "full.d64", &error));
  ExpectBamConsistent(ReadFile(dir / "full.d64"), 64);
}

TEST(DosFile, AReplacementThatRunsOutOfRoomKeepsTheOldFile) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  const Bytes old = RandomBytes(1000, 10);
  ASSERT_EQ(SaveFile(dos, "KEEP", old), kOk);
  EXPECT_EQ(SaveFile(dos, "@0:KEEP", RandomBytes(700 * 254, 11)), "72, DISK FULL,00,00\r");
  EXPECT_EQ(LoadFile(dos, "KEEP").bytes, old);
  EXPECT_EQ(ParseListing(ReadListing(dos)).back().number, 664 - 4);
  std::string error;
  TempDir dir;
  ASSERT_TRUE(disk->Save(dir / "kept.d64", &error));
  ExpectBamConsistent(ReadFile(dir / "kept.d64"), 64);
}

TEST(DosFile, AFullDirectoryTrackIsDiskFull) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  for (int i = 0; i < 144; ++i)
    ASSERT_EQ(SaveFile(dos, "N" + std::to_string(i), Bytes{1}), kOk) << i;
  EXPECT_EQ(SaveFile(dos, "ONE MORE", Bytes{1}), "72, DISK FULL,00,00\r");
  EXPECT_EQ(ParseListing(ReadListing(dos)).size(), 146u);
}

TEST(DosFile, WriteProtectionRefusesSavesAndChangesNothing) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_EQ(SaveFile(dos, "KEEP", Bytes{1, 2, 3}), kOk);
  disk->writeProtected = true;
  const Bytes track18 = disk->RawTrack(18);
  const Bytes track17 = disk->RawTrack(17);
  EXPECT_EQ(SaveFile(dos, "NEW", Bytes{1}), "26, WRITE PROTECT ON,18,01\r");
  EXPECT_EQ(RunCommand(dos, "S:KEEP"), "26, WRITE PROTECT ON,18,01\r");
  EXPECT_EQ(disk->RawTrack(18), track18);
  EXPECT_EQ(disk->RawTrack(17), track17);
  EXPECT_EQ(LoadFile(dos, "KEEP").bytes, (Bytes{1, 2, 3}));
}

TEST(DosFile, ClosingAnEmptyFileStoresOneCarriageReturn) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  ASSERT_TRUE(dos.Open(1, Text("EMPTY")));
  dos.Close(1);
  EXPECT_EQ(dos.TakeErrorMessage(), kOk);
  EXPECT_EQ(LoadFile(dos, "EMPTY").bytes, (Bytes{0x0D}));
  const SectorData block = SectorOf(*disk, 17, 0);
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0x02);
  EXPECT_EQ(ParseListing(ReadListing(dos))[1].number, 1);
}

TEST(DosFile, AppendAndReadingAFileStillOpen) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  const Bytes first = RandomBytes(250, 8);
  ASSERT_EQ(SaveFile(dos, "LOG,S,W", first, 2), kOk);
  const Bytes more = RandomBytes(300, 9);
  ASSERT_EQ(SaveFile(dos, "LOG,S,A", more, 3), kOk);
  Bytes all = first;
  all.insert(all.end(), more.begin(), more.end());
  EXPECT_EQ(LoadFile(dos, "LOG,S,R", 4).bytes, all);
  EXPECT_EQ(ParseListing(ReadListing(dos))[1].number, 3);

  ASSERT_TRUE(dos.Open(5, Text("OPEN,S,W")));
  ASSERT_TRUE(dos.Write(5, Bytes{7, 7}));
  EXPECT_EQ(LoadFile(dos, "OPEN", 6).message, "60, WRITE FILE OPEN,00,00\r");
  // Closing the command channel closes every file properly.
  dos.Close(15);
  EXPECT_FALSE(dos.IsOpen(5));
  EXPECT_EQ(LoadFile(dos, "OPEN", 6).bytes, (Bytes{7, 7}));
  std::string error;
  TempDir dir;
  ASSERT_TRUE(disk->Save(dir / "a.d64", &error));
  ExpectBamConsistent(ReadFile(dir / "a.d64"), 64);
}

TEST(DosFile, BadNamesForWritingAreRefused) {
  auto disk = FormattedDisk(DriveKind::k1541);
  Dos dos(DriveKind::k1541);
  dos.SetDisk(disk.get());
  EXPECT_EQ(SaveFile(dos, "A*", Bytes{1}), "33,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(SaveFile(dos, "@0:", Bytes{1}), "34,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(SaveFile(dos, "1:X", Bytes{1}), "74,DRIVE NOT READY,00,00\r");
  EXPECT_EQ(ParseListing(ReadListing(dos)).size(), 2u);
}

TEST(DosFile, NoDiskAndUnformattedDisks) {
  Dos dos(DriveKind::k1541);
  EXPECT_FALSE(dos.Open(0, Text("$")));
  EXPECT_EQ(dos.TakeErrorMessage(), "21,READ ERROR,18,00\r");
  auto blank = Disk::Blank(true, false);
  dos.SetDisk(blank.get());
  EXPECT_EQ(LoadFile(dos, "ANY").message, "21,READ ERROR,18,00\r");
  Dos dos81(DriveKind::k1581);
  EXPECT_EQ(LoadFile(dos81, "ANY").message, "74,DRIVE NOT READY,00,00\r");
}

}  // namespace
}  // namespace sim::testing
