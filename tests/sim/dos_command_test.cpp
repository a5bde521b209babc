// Commands on channel 15 and the error channel: texts, format, initialise, scratch, rename,
// validate, copy, and what the drive keeps in RAM.

#include <map>

#include "media_test_support.h"
#include "sim/media/gcr_disk.h"
#include "sim/media/raw_track.h"

namespace sim::testing {
namespace {

constexpr char kOk[] = "00, OK,00,00\r";

struct Mounted {
  std::unique_ptr<Disk> disk;
  std::unique_ptr<Dos> dos;
};

Mounted Mount(DriveKind kind, const std::string& format = "N:TEST,AB") {
  Mounted m{FormattedDisk(kind, format), std::make_unique<Dos>(kind, true)};
  m.dos->SetDisk(m.disk.get());
  return m;
}

Bytes Slice(const SectorData& data, size_t from, size_t to) {
  return Bytes(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(to));
}

TEST(DosCommand, PowerOnMessageNamesEachDos) {
  const std::pair<DriveKind, std::string> cases[] = {
      {DriveKind::k1541, "73,CBM DOS V2.6 1541,00,00\r"},
      {DriveKind::k1570, "73,CBM DOS V3.0 1571,00,00\r"},
      {DriveKind::k1571, "73,CBM DOS V3.0 1571,00,00\r"},
      {DriveKind::k1581, "73,COPYRIGHT CBM DOS V10 1581,00,00\r"},
  };
  for (const auto& [kind, text] : cases) {
    Dos dos(kind);
    EXPECT_EQ(dos.TakeErrorMessage(), text);
    EXPECT_EQ(dos.TakeErrorMessage(), kOk);  // reading the message resets it
    EXPECT_EQ(RunCommand(dos, "UJ"), text);
  }
}

TEST(DosCommand, MessagesKeepTheDrivesLeadingSpaces) {
  Dos dos(DriveKind::k1541);
  const std::pair<int, std::string> cases[] = {
      {1, "01, FILES SCRATCHED,03,00\r"},   {20, "20,READ ERROR,03,00\r"},
      {26, "26, WRITE PROTECT ON,03,00\r"}, {29, "29, DISK ID MISMATCH,03,00\r"},
      {62, "62, FILE NOT FOUND,03,00\r"},   {66, "66,ILLEGAL TRACK OR SECTOR,03,00\r"},
      {72, "72, DISK FULL,03,00\r"},        {74, "74,DRIVE NOT READY,03,00\r"},
  };
  for (const auto& [code, text] : cases) {
    dos.SetError(code, 3, 0);
    EXPECT_EQ(dos.TakeErrorMessage(), text);
  }
}

TEST(DosCommand, UnknownAndMalformedCommands) {
  Mounted m = Mount(DriveKind::k1541);
  Dos& dos = *m.dos;
  EXPECT_EQ(RunCommand(dos, "X"), "31,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "B-P 2 0"), "31,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "S:" + std::string(45, 'A')), "32,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "S"), "34,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "N"), "34,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "I\r"), kOk);
  // Memory commands belong to the bus side: the message stays as it was.
  dos.SetError(62, 0, 0);
  dos.Command(Text("M-R\x12\x00\x02"));
  EXPECT_EQ(dos.TakeErrorMessage(), "62, FILE NOT FOUND,00,00\r");
}

TEST(DosCommand, FullFormatWritesTheBamOfAFreshDisk) {
  Mounted m = Mount(DriveKind::k1541);
  Bytes expected(256, 0x00);
  const Bytes head = {0x12, 0x01, 0x41, 0x00};
  std::copy(head.begin(), head.end(), expected.begin());
  for (int t = 1; t <= 35; ++t) {
    const int sectors = t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
    const uint32_t map = (1u << sectors) - 1;
    uint8_t* entry = expected.data() + 4 * t;
    entry[0] = static_cast<uint8_t>(sectors);
    entry[1] = static_cast<uint8_t>(map);
    entry[2] = static_cast<uint8_t>(map >> 8);
    entry[3] = static_cast<uint8_t>(map >> 16);
  }
  const Bytes track18 = {0x11, 0xFC, 0xFF, 0x07};
  std::copy(track18.begin(), track18.end(), expected.begin() + 0x48);
  const Bytes names = {0x54, 0x45, 0x53, 0x54, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
                       0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
                       0x41, 0x42, 0xA0, 0x32, 0x41, 0xA0, 0xA0, 0xA0, 0xA0};
  std::copy(names.begin(), names.end(), expected.begin() + 0x90);
  const SectorData bam = SectorOf(*m.disk, 18, 0);
  EXPECT_BYTES_EQ(expected, Bytes(bam.begin(), bam.end()));
  Bytes directory(256, 0);
  directory[1] = 0xFF;
  const SectorData dir = SectorOf(*m.disk, 18, 1);
  EXPECT_BYTES_EQ(directory, Bytes(dir.begin(), dir.end()));
  Bytes fresh(256, 0x01);
  fresh[0] = 0x4B;
  for (auto [t, s] : {std::pair{1, 0}, std::pair{18, 2}, std::pair{35, 16}}) {
    const SectorData data = SectorOf(*m.disk, t, s);
    EXPECT_BYTES_EQ(fresh, Bytes(data.begin(), data.end()));
  }
  for (int t = 1; t <= 35; ++t)
    EXPECT_EQ(m.disk->HeaderId(t), (std::array<uint8_t, 2>{'A', 'B'})) << t;
  EXPECT_EQ(RunCommand(*m.dos, "I"), kOk);
  EXPECT_EQ(m.dos->IdInRam(), (std::array<uint8_t, 2>{'A', 'B'}));
  EXPECT_EQ(m.dos->BamInRam(), bam);
  EXPECT_EQ(m.dos->MaxTrackPlusOne(), 0x24);
}

TEST(DosCommand, A1571FormatsBothSides) {
  Mounted m = Mount(DriveKind::k1571, "N:DOUBLE,DS");
  EXPECT_EQ(m.disk->TrackCount(), 70);
  const SectorData bam = SectorOf(*m.disk, 18, 0);
  EXPECT_EQ(bam[3], 0x80);
  Bytes counts(17, 0x15);
  counts.push_back(0x00);  // track 53 is kept for the second BAM
  counts.insert(counts.end(), 6, 0x13);
  counts.insert(counts.end(), 6, 0x12);
  counts.insert(counts.end(), 5, 0x11);
  EXPECT_EQ(Slice(bam, 0xDD, 0x100), counts);
  const SectorData maps = SectorOf(*m.disk, 53, 0);
  EXPECT_EQ(Slice(maps, 0, 3), (Bytes{0xFF, 0xFF, 0x1F}));
  EXPECT_EQ(Slice(maps, 17 * 3, 18 * 3), (Bytes{0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(maps, 18 * 3, 19 * 3), (Bytes{0xFF, 0xFF, 0x07}));
  EXPECT_EQ(Slice(maps, 34 * 3, 35 * 3), (Bytes{0xFF, 0xFF, 0x01}));
  EXPECT_EQ(Slice(maps, 0x69, 0x100), Bytes(0x97, 0));
  EXPECT_EQ(m.disk->HeaderId(70), (std::array<uint8_t, 2>{'D', 'S'}));
  EXPECT_EQ(RunCommand(*m.dos, "I"), kOk);
  EXPECT_EQ(m.dos->MaxTrackPlusOne(), 0x47);
  EXPECT_EQ(m.dos->BamInRam()[3], 0x80);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(m.disk->Save(dir / "ds.d71", &error)) << error;
  ExpectBamConsistent(ReadFile(dir / "ds.d71"), 71);
  // In 1541 mode the 1571 uses one side; the 1570 always does.
  EXPECT_EQ(RunCommand(*m.dos, "U0>M0"), kOk);
  EXPECT_EQ(RunCommand(*m.dos, "I"), kOk);
  EXPECT_EQ(m.dos->MaxTrackPlusOne(), 0x24);
  Dos dos1570(DriveKind::k1570);
  dos1570.SetDisk(m.disk.get());
  EXPECT_EQ(RunCommand(dos1570, "I"), kOk);
  EXPECT_EQ(dos1570.MaxTrackPlusOne(), 0x24);
  EXPECT_EQ(RunCommand(dos1570, "U0>M1"), "31,SYNTAX ERROR,00,00\r");
}

TEST(DosCommand, A1581FormatWritesHeaderAndBamSectors) {
  Mounted m = Mount(DriveKind::k1581, "N:MY 1581,ZZ");
  const SectorData header = SectorOf(*m.disk, 40, 0);
  const Bytes expectedHead = {0x28, 0x03, 0x44, 0x00, 'M',  'Y',  ' ',  '1',  '5',  '8',
                              '1',  0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0,
                              0xA0, 0xA0, 'Z',  'Z',  0xA0, '3',  'D',  0xA0, 0xA0, 0x00};
  EXPECT_EQ(Slice(header, 0, 30), expectedHead);
  EXPECT_EQ(Slice(header, 30, 256), Bytes(226, 0));
  const SectorData bam1 = SectorOf(*m.disk, 40, 1);
  const SectorData bam2 = SectorOf(*m.disk, 40, 2);
  EXPECT_EQ(Slice(bam1, 0, 16),
            (Bytes{0x28, 0x02, 0x44, 0xBB, 'Z', 'Z', 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(bam2, 0, 8), (Bytes{0x00, 0xFF, 0x44, 0xBB, 'Z', 'Z', 0xC0, 0}));
  for (int t = 1; t <= 80; ++t) {
    const SectorData& block = t <= 40 ? bam1 : bam2;
    const size_t at = 0x10 + 6 * static_cast<size_t>((t - 1) % 40);
    const Bytes entry = t == 40 ? Bytes{0x24, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF}
                                : Bytes{0x28, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Slice(block, at, at + 6), entry) << t;
  }
  EXPECT_EQ(Slice(SectorOf(*m.disk, 40, 3), 0, 2), (Bytes{0x00, 0xFF}));
  EXPECT_EQ(RunCommand(*m.dos, "I"), kOk);
  EXPECT_EQ(m.dos->IdInRam(), (std::array<uint8_t, 2>{'Z', 'Z'}));
}

TEST(DosCommand, ShortNewKeepsTheIdAndNeedsThisDrivesFormat) {
  Mounted m = Mount(DriveKind::k1541, "N:FIRST,XY");
  ASSERT_EQ(SaveFile(*m.dos, "OLD", RandomBytes(2000, 1)), kOk);
  EXPECT_EQ(RunCommand(*m.dos, "N0:SECOND"), kOk);
  const auto lines = ParseListing(ReadListing(*m.dos));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(std::string(lines[0].text.begin() + 2, lines[0].text.begin() + 8), "SECOND");
  EXPECT_EQ(std::string(lines[0].text.begin() + 20, lines[0].text.end()), "XY 2A");
  EXPECT_EQ(lines[1].number, 664);
  // A BAM with a foreign format letter: the DOS will not write on it.
  SectorData bam = SectorOf(*m.disk, 18, 0);
  bam[2] = 'B';
  ASSERT_EQ(m.disk->WriteSector(18, 0, bam), kJobOk);
  EXPECT_EQ(RunCommand(*m.dos, "N:THIRD"), "73,CBM DOS V2.6 1541,00,00\r");
  EXPECT_EQ(SaveFile(*m.dos, "NEW", Bytes{1}), "73,CBM DOS V2.6 1541,00,00\r");
  EXPECT_EQ(RunCommand(*m.dos, "N:FRESH,XY"), kOk);  // a full format does not ask
  auto blank = Disk::Blank(true, false);
  m.dos->SetDisk(blank.get());
  EXPECT_EQ(RunCommand(*m.dos, "N:X"), "21,READ ERROR,18,00\r");
  blank->writeProtected = true;
  EXPECT_EQ(RunCommand(*m.dos, "N:X,YZ"), "26, WRITE PROTECT ON,01,00\r");
}

TEST(DosCommand, InitialiseTakesTheIdFromTheHeaders) {
  Mounted m = Mount(DriveKind::k1541, "N:DISK,HD");
  SectorData bam = SectorOf(*m.disk, 18, 0);
  bam[0xA2] = 'B';  // the BAM's copy of the ID is only text for the listing
  bam[0xA3] = 'M';
  ASSERT_EQ(m.disk->WriteSector(18, 0, bam), kJobOk);
  EXPECT_EQ(RunCommand(*m.dos, "I"), kOk);
  EXPECT_EQ(m.dos->IdInRam(), (std::array<uint8_t, 2>{'H', 'D'}));
  EXPECT_EQ(m.dos->BamInRam()[0xA2], 'B');
  m.dos->SetDisk(nullptr);
  EXPECT_EQ(RunCommand(*m.dos, "I"), "21,READ ERROR,18,00\r");
  EXPECT_EQ(m.dos->IdInRam(), (std::array<uint8_t, 2>{'H', 'D'}));  // RAM keeps what it had
  Dos dos81(DriveKind::k1581);
  EXPECT_EQ(RunCommand(dos81, "I"), "74,DRIVE NOT READY,00,00\r");
  auto gcr = Disk::Blank(true, false);
  dos81.SetDisk(gcr.get());
  EXPECT_EQ(RunCommand(dos81, "I"), "74,DRIVE NOT READY,00,00\r");
}

// A track nothing wrote is noise. Most of it never holds ten one bits in a row, and the DOS
// waits 20 ms for a sync in vain: 21. Now and then noise holds such runs: a few in a turn still
// leave the wait in vain, many make the DOS pass 90 of them without a header (20), or take noise
// behind one for a header whose checksum fails (27).
TEST(DosCommand, InitialiseOnNoiseIsAReadErrorOf21Or20Or27) {
  std::map<std::string, int> messages;
  int withSync = 0;
  constexpr int kTracks = 300;
  GcrDisk disk;
  for (uint32_t seed = 1; seed <= kTracks; ++seed) {
    const Bytes noise = NoiseTrack(7142, seed);
    EXPECT_EQ(noise, NoiseTrack(7142, seed)) << "the same for the same seed";
    if (RawTrackBits(noise).HasSync()) ++withSync;
    disk.SetRawTrack(0, 18, noise, 2);
    Dos dos(DriveKind::k1541);
    dos.SetDisk(&disk);
    ++messages[RunCommand(dos, "I")];
  }
  EXPECT_GT(withSync, kTracks / 5);
  EXPECT_LT(withSync, kTracks * 2 / 5);
  EXPECT_GT(messages["21,READ ERROR,18,00\r"], kTracks * 3 / 4);
  EXPECT_GT(messages["20,READ ERROR,18,00\r"], 0);
  EXPECT_GT(messages["27,READ ERROR,18,00\r"], 0);
  EXPECT_EQ(messages["21,READ ERROR,18,00\r"] + messages["20,READ ERROR,18,00\r"] +
                messages["27,READ ERROR,18,00\r"],
            kTracks);
}

TEST(DosCommand, ScratchFreesBlocksAndCountsFiles) {
  Mounted m = Mount(DriveKind::k1541);
  Dos& dos = *m.dos;
  for (const char* name : {"FA", "FB", "GC"})
    ASSERT_EQ(SaveFile(dos, name, RandomBytes(600, 2)), kOk);
  EXPECT_EQ(RunCommand(dos, "S:NOTHING"), "01, FILES SCRATCHED,00,00\r");
  EXPECT_EQ(RunCommand(dos, "S0:F*"), "01, FILES SCRATCHED,02,00\r");
  auto lines = ParseListing(ReadListing(dos));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back().number, 664 - 3);
  // Locked files stay; several patterns at once.
  SectorData dir = SectorOf(*m.disk, 18, 1);
  dir[0x40 + 2] |= 0x40;  // GC, the third slot
  ASSERT_EQ(m.disk->WriteSector(18, 1, dir), kJobOk);
  ASSERT_EQ(SaveFile(dos, "HD", Bytes{1}), kOk);
  EXPECT_EQ(RunCommand(dos, "S:GC,HD"), "01, FILES SCRATCHED,01,00\r");
  lines = ParseListing(ReadListing(dos));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back().number, 664 - 3);
  TempDir tmp;
  std::string error;
  ASSERT_TRUE(m.disk->Save(tmp / "s.d64", &error));
  ExpectBamConsistent(ReadFile(tmp / "s.d64"), 64);
}

TEST(DosCommand, RenameChecksBothNames) {
  Mounted m = Mount(DriveKind::k1541);
  Dos& dos = *m.dos;
  ASSERT_EQ(SaveFile(dos, "OLD", Bytes{1, 2}), kOk);
  ASSERT_EQ(SaveFile(dos, "OTHER", Bytes{3}), kOk);
  EXPECT_EQ(RunCommand(dos, "R:OTHER=OLD"), "63, FILE EXISTS,00,00\r");
  EXPECT_EQ(RunCommand(dos, "R:NEW=MISSING"), "62, FILE NOT FOUND,00,00\r");
  EXPECT_EQ(RunCommand(dos, "R:NEW"), "30,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "R"), "34,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "R:N*=OLD"), "33,SYNTAX ERROR,00,00\r");
  EXPECT_EQ(RunCommand(dos, "R0:NEW=0:OLD"), kOk);
  EXPECT_EQ(LoadFile(dos, "NEW").bytes, (Bytes{1, 2}));
  EXPECT_EQ(LoadFile(dos, "OLD").message, "62, FILE NOT FOUND,00,00\r");
}

TEST(DosCommand, ValidateDropsUnclosedFilesAndRebuildsTheBam) {
  Mounted m = Mount(DriveKind::k1541);
  Dos& dos = *m.dos;
  ASSERT_EQ(SaveFile(dos, "KEEP", RandomBytes(1000, 3)), kOk);
  // A save the drive never finished: reset while the file is open.
  ASSERT_TRUE(dos.Open(1, Text("LOST")));
  ASSERT_TRUE(dos.Write(1, RandomBytes(2000, 4)));
  EXPECT_EQ(RunCommand(dos, "UJ"), "73,CBM DOS V2.6 1541,00,00\r");
  auto lines = ParseListing(ReadListing(dos));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(std::string(lines[2].text.begin(), lines[2].text.end()).find("*PRG"),
            std::string::npos);
  // A block of KEEP marked free by mistake.
  SectorData bam = SectorOf(*m.disk, 18, 0);
  bam[4 * 17 + 1] |= 0x01;
  ++bam[4 * 17];
  ASSERT_EQ(m.disk->WriteSector(18, 0, bam), kJobOk);
  EXPECT_EQ(RunCommand(dos, "V"), kOk);
  lines = ParseListing(ReadListing(dos));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back().number, 664 - 4);
  TempDir tmp;
  std::string error;
  ASSERT_TRUE(m.disk->Save(tmp / "v.d64", &error));
  ExpectBamConsistent(ReadFile(tmp / "v.d64"), 64);
  EXPECT_EQ(LoadFile(dos, "KEEP").bytes, RandomBytes(1000, 3));
}

TEST(DosCommand, A1581PartitionKeepsItsRunOfBlocks) {
  Mounted m = Mount(DriveKind::k1581);
  SectorData dir = SectorOf(*m.disk, 40, 3);
  const Bytes entry = {0x85, 41, 0, 'P', 'A', 'R', 'T'};
  std::copy(entry.begin(), entry.end(), dir.begin() + 2);
  std::fill(dir.begin() + 9, dir.begin() + 21, 0xA0);
  dir[0x1E] = 120;
  ASSERT_EQ(m.disk->WriteSector(40, 3, dir), kJobOk);
  EXPECT_EQ(RunCommand(*m.dos, "V"), kOk);
  auto lines = ParseListing(ReadListing(*m.dos));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(std::string(lines[1].text.begin(), lines[1].text.end()).find("CBM"), std::string::npos);
  EXPECT_EQ(lines.back().number, 3160 - 120);
  TempDir tmp;
  std::string error;
  ASSERT_TRUE(m.disk->Save(tmp / "p.d81", &error));
  const Bytes image = ReadFile(tmp / "p.d81");
  const ImageView view{image, 81};
  EXPECT_FALSE(view.Free(41, 0));
  EXPECT_FALSE(view.Free(43, 39));
  EXPECT_TRUE(view.Free(44, 0));
  EXPECT_EQ(RunCommand(*m.dos, "S:PART"), "01, FILES SCRATCHED,01,00\r");
  EXPECT_EQ(ParseListing(ReadListing(*m.dos)).back().number, 3160);
}

TEST(DosCommand, ACountThatDisagreesWithItsBitmapIsDirError) {
  Mounted m = Mount(DriveKind::k1541);
  SectorData bam = SectorOf(*m.disk, 18, 0);
  bam[4 * 17] = 5;
  ASSERT_EQ(m.disk->WriteSector(18, 0, bam), kJobOk);
  EXPECT_EQ(SaveFile(*m.dos, "X", Bytes{1}), "71,DIR ERROR,17,00\r");
}

TEST(DosCommand, CopyJoinsFiles) {
  Mounted m = Mount(DriveKind::k1581);
  Dos& dos = *m.dos;
  const Bytes a = RandomBytes(300, 5);
  const Bytes b = RandomBytes(400, 6);
  ASSERT_EQ(SaveFile(dos, "A,S,W", a, 2), kOk);
  ASSERT_EQ(SaveFile(dos, "B,S,W", b, 2), kOk);
  EXPECT_EQ(RunCommand(dos, "C:AB=A,B"), kOk);
  Bytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(LoadFile(dos, "AB").bytes, joined);
  EXPECT_EQ(RunCommand(dos, "C:AB=A"), "63, FILE EXISTS,00,00\r");
  EXPECT_EQ(RunCommand(dos, "C:Z=NONE"), "62, FILE NOT FOUND,00,00\r");
  TempDir tmp;
  std::string error;
  ASSERT_TRUE(m.disk->Save(tmp / "c.d81", &error));
  ExpectBamConsistent(ReadFile(tmp / "c.d81"), 81);
}

TEST(DosCommand, AHeaderWithAnotherIdIsDiskIdMismatch) {
  Mounted m = Mount(DriveKind::k1541);
  ASSERT_EQ(SaveFile(*m.dos, "F", RandomBytes(600, 7)), kOk);
  // Reformat only track 17 with another ID: the file's blocks now belong to another disk.
  SectorData fill{};
  ASSERT_EQ(m.disk->FormatTrack(17, {'Q', 'Q'}, fill), kJobOk);
  const Loaded loaded = LoadFile(*m.dos, "F");
  EXPECT_FALSE(loaded.opened);
  EXPECT_EQ(loaded.message, "29, DISK ID MISMATCH,17,00\r");
}

}  // namespace
}  // namespace sim::testing
