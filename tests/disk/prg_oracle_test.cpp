// End to end on the virtual bus: PRG files restored through the Restore command come out of
// the saved disk (cbmconvert) byte for byte, with a consistent BAM; drive errors in the middle
// are told and lose nothing on the PC.

#include <gtest/gtest.h>

#include <algorithm>

#include "disk/directory.h"
#include "disk/prg_restore.h"
#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using fake::ReadFile;
using fake::TempDir;
using fake::WriteFile;
using oracle::ImageFile;
using oracle::Noise;

struct DiskKind {
  const char* extension;
  const char* drive;
};

const DiskKind kKinds[] = {{"d64", "1541-II+"}, {"d71", "1571"}, {"d81", "1581"}};

struct PcPrg {
  std::string file;       // the PC file's name
  std::string extracted;  // what cbmconvert calls the file on the disk
  std::vector<uint8_t> bytes;
};

std::vector<PcPrg> PcFiles() {
  return {
      {"game.old.prg", "game.prg", Noise(3000, 11)},  // replaces the "game" on the disk
      {"one.prg", "one.prg", Noise(1, 12)},
      {"two.prg", "two.prg", Noise(2, 13)},
      {"x250.prg", "x250.prg", Noise(250, 14)},
      {"x251.prg", "x251.prg", Noise(251, 15)},
      {"x254.prg", "x254.prg", Noise(254, 16)},
      {"x255.prg", "x255.prg", Noise(255, 17)},
      {"a very long program name.Prg", "a very long prog.prg", Noise(4000, 18)},
  };
}

bool LogHas(const Harness& h, const std::string& text) {
  return h.desk.Logged(text);
}

class PrgOracle : public testing::TestWithParam<DiskKind> {};

TEST_P(PrgOracle, RestoredFilesComeOutOfTheSavedDiskIdentical) {
  DW_REQUIRE_ORACLES();
  const DiskKind& kind = GetParam();
  TempDir dir(std::string("restore-") + kind.extension);
  std::string image = dir / (std::string("disk.") + kind.extension);
  std::vector<uint8_t> keep = Noise(700, 1);
  ASSERT_TRUE(oracle::MakeImage(dir, image, {{"game", Noise(2000, 2)}, {"keep", keep}}));

  std::vector<PcPrg> files = PcFiles();
  Harness h(std::string("8=") + kind.drive + ":" + image);
  for (const PcPrg& file : files) {
    WriteFile(dir / file.file, file.bytes);
    h.desk.QueueCommand(kCmdRestoreImage);
    h.desk.QueueFile(dir / file.file);
  }
  h.Run();

  size_t done = 0;
  for (const auto& line : h.desk.fullLog()) {
    EXPECT_EQ(line.find("-- aborted --"), std::string::npos) << line;
    if (line.find("-- done --") != std::string::npos) ++done;
  }
  EXPECT_EQ(done, files.size());
  EXPECT_TRUE(LogHas(h, "Restoring \"GAME\" [PRG]"));
  EXPECT_TRUE(LogHas(h, "Writing 12 blocks; 3000 bytes"));
  EXPECT_TRUE(LogHas(h, "Restoring \"A VERY LONG PROGRAM NAME\" [PRG]"));

  std::string saved = dir / (std::string("saved.") + kind.extension);
  std::string error;
  ASSERT_TRUE(h.bus->SaveDisk(8, saved, &error)) << error;
  ASSERT_TRUE(oracle::Extract(saved, dir / "out"));
  for (const PcPrg& file : files) {
    std::string extracted = dir / ("out/" + file.extracted);
    ASSERT_TRUE(std::filesystem::exists(extracted))
        << extracted << " not among " << oracle::Listed(dir / "out");
    EXPECT_EQ(ReadFile(extracted), file.bytes) << file.file;
    // The PC file is only read.
    EXPECT_EQ(ReadFile(dir / file.file), file.bytes) << file.file;
  }
  EXPECT_EQ(ReadFile(dir / "out/keep.prg"), keep);
  EXPECT_EQ(oracle::BamProblems(ReadFile(saved)), "");

  // The listing after the last restore is that of the saved disk.
  std::vector<std::string> shown;
  for (const auto& line : h.desk.directory()) shown.push_back(oracle::AsCc1541Prints(line));
  EXPECT_EQ(shown, oracle::ListingAsTheDriveShows(saved));
  EXPECT_EQ(shown.size(), 2u + 2u + files.size() - 1u);
}

INSTANTIATE_TEST_SUITE_P(Images, PrgOracle, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<DiskKind>& info) {
                           return std::string(info.param.extension);
                         });

// A harness on a 1541-II with a cc1541 disk, connected and with the listing shown.
struct Listed {
  explicit Listed(const std::string& name, const std::vector<ImageFile>& files,
                  const std::string& options = "")
      : dir(name), image(dir / "disk.d64") {
    made = oracle::MakeImage(dir, image, files);
    if (!made) return;
    original = ReadFile(image);
    h = std::make_unique<Harness>("8=1541-II+:" + image + options);
    h->Connect();
    ShowDirectory(h->program);
  }
  bool Fault(const std::string& what) {
    std::string error;
    return ApplyBusFault(*h->bus, {what, "8"}, 0, &error);
  }
  std::vector<std::string> Texts() const { return h->desk.logTexts(); }

  TempDir dir;
  std::string image;
  bool made = false;
  std::vector<uint8_t> original;
  std::unique_ptr<Harness> h;
};

TEST(PrgOracleBamCheck, FindsAFreedBlockAWrongCountAndALostBlock) {
  DW_REQUIRE_ORACLES();
  TempDir dir("bamcheck");
  ASSERT_TRUE(oracle::MakeImage(dir, dir / "b.d64", {{"file", Noise(600, 1)}}));
  const std::vector<uint8_t> good = ReadFile(dir / "b.d64");
  ASSERT_EQ(oracle::BamProblems(good), "");
  const size_t bam = 0x16500;
  const uint8_t* dir1 = good.data() + bam + 256;
  int track = dir1[3], sector = dir1[4];
  ASSERT_GT(track, 0);
  size_t entry = bam + 4 * static_cast<size_t>(track);

  std::vector<uint8_t> freed = good;  // the file's first block marked free, count kept
  freed[entry + 1 + sector / 8] |= static_cast<uint8_t>(1 << (sector % 8));
  EXPECT_NE(oracle::BamProblems(freed).find("is free"), std::string::npos);

  std::vector<uint8_t> counted = good;
  ++counted[entry];
  EXPECT_NE(oracle::BamProblems(counted).find("count"), std::string::npos);

  std::vector<uint8_t> lost = good;  // a block of the untouched track 35 allocated for no file
  size_t track35 = bam + 4 * 35;
  ASSERT_EQ(good[track35], 17);
  lost[track35 + 1] &= 0xFE;
  --lost[track35];
  EXPECT_NE(oracle::BamProblems(lost).find("35/0 lost"), std::string::npos);
}

TEST(PrgDriveErrors, WriteProtectedDiskIsToldAndStaysAsItWas) {
  DW_REQUIRE_ORACLES();
  Listed disk("protected", {{"game", Noise(500, 1)}}, ":wp");
  ASSERT_TRUE(disk.made);
  std::vector<uint8_t> content = Noise(1000, 2);
  WriteFile(disk.dir / "game.prg", content);
  RestorePrg(disk.h->program, disk.dir / "game.prg");
  std::vector<std::string> texts = disk.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Restoring \"GAME\" [PRG]");
  EXPECT_EQ(texts.back().substr(0, 21), "26, WRITE PROTECT ON,");
  EXPECT_EQ(disk.h->program.LinkState, kLinkIecError) << "the command ends aborted";
  EXPECT_EQ(ReadFile(disk.dir / "game.prg"), content);
  std::string error;
  ASSERT_TRUE(disk.h->bus->SaveDisk(8, disk.dir / "after.d64", &error)) << error;
  EXPECT_EQ(ReadFile(disk.dir / "after.d64"), disk.original);
}

TEST(PrgDriveErrors, DiskFullInTheMiddleIsToldAndTheBamStaysConsistent) {
  DW_REQUIRE_ORACLES();
  // 650 of 664 blocks taken; a stale listing (another disk was in the drive) claims room.
  Listed disk("full", {{"filler", Noise(650 * 254, 1)}});
  ASSERT_TRUE(disk.made);
  ASSERT_EQ(disk.h->desk.directory().back().substr(0, 3), "14 ");
  std::vector<std::string> stale = disk.h->desk.directory();
  stale[2] = "600 BLOCKS FREE.";
  disk.h->desk.ClearDirectory();
  for (const std::string& line : stale) disk.h->desk.AddDirectoryLine(line);
  std::vector<uint8_t> content = Noise(40 * 254, 2);
  WriteFile(disk.dir / "more.prg", content);
  RestorePrg(disk.h->program, disk.dir / "more.prg");
  std::vector<std::string> texts = disk.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Writing 41 blocks; 10160 bytes");
  EXPECT_EQ(texts.back(), "72, DISK FULL,00,00");
  EXPECT_EQ(disk.h->program.LinkState, kLinkIecError) << "the command ends aborted";
  EXPECT_EQ(ReadFile(disk.dir / "more.prg"), content);
  std::string error;
  ASSERT_TRUE(disk.h->bus->SaveDisk(8, disk.dir / "after.d64", &error)) << error;
  EXPECT_EQ(oracle::BamProblems(ReadFile(disk.dir / "after.d64")), "");
  // The filler is untouched.
  ASSERT_TRUE(oracle::Extract(disk.dir / "after.d64", disk.dir / "out"));
  EXPECT_EQ(ReadFile(disk.dir / "out/filler.prg"), Noise(650 * 254, 1));
}

TEST(PrgDriveErrors, NoDiskForTheDownloadMakesNoPcFile) {
  DW_REQUIRE_ORACLES();
  Listed disk("nodisk", {{"game", Noise(900, 1)}});
  ASSERT_TRUE(disk.made);
  ASSERT_EQ(disk.h->desk.directory().size(), 3u);
  ASSERT_TRUE(disk.Fault("eject"));
  disk.h->desk.SelectDirectoryLine(1);
  disk.h->desk.QueueFile(disk.dir / "game.prg");
  DownloadPrg(disk.h->program);
  std::vector<std::string> texts = disk.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Open 1541-II+ file: \"GAME\" [PRG]"),
            texts.end());
  // A 1541 without a disk cannot find track 18; the requester never came.
  EXPECT_EQ(texts.back(), "21,READ ERROR,18,00");
  EXPECT_TRUE(disk.h->desk.fileRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(disk.dir / "game.prg"));
}

TEST(PrgDriveErrors, NoDiskForTheRestoreLeavesThePcFile) {
  DW_REQUIRE_ORACLES();
  Listed disk("norestore", {});
  ASSERT_TRUE(disk.made);
  ASSERT_TRUE(disk.Fault("eject"));
  std::vector<uint8_t> content = Noise(600, 3);
  WriteFile(disk.dir / "game.prg", content);
  RestorePrg(disk.h->program, disk.dir / "game.prg");
  std::vector<std::string> texts = disk.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Restoring \"GAME\" [PRG]");
  EXPECT_EQ(texts.back(), "21,READ ERROR,18,00");
  EXPECT_TRUE(disk.h->desk.messages().empty());
  EXPECT_EQ(ReadFile(disk.dir / "game.prg"), content);
}

// The drive reads "*" and "?" in a name as a pattern (the first file that matches comes) and a
// name starting with "$" as the directory: such files are not downloaded.
TEST(PrgNames, NamesTheDriveReadsAsAPatternOrAsTheDirectoryAreNotDownloaded) {
  DW_REQUIRE_ORACLES();
  Listed disk(
      "patterns",
      {{"game", Noise(900, 1)}, {"*", Noise(300, 2)}, {"a?", Noise(300, 3)}, {"$", Noise(400, 4)}});
  ASSERT_TRUE(disk.made);
  ASSERT_EQ(disk.h->desk.directory().size(), 6u);
  const std::vector<std::string> refusals = {
      "Can't download \"*\": the drive reads '*' in a name as a pattern and may send another file",
      "Can't download \"A?\": the drive reads '?' in a name as a pattern and may send another file",
      "Can't download \"$\": the drive reads a name starting with '$' as the directory"};
  for (int line : {2, 3, 4}) {
    disk.h->program.LinkState = 0;
    disk.h->desk.SelectDirectoryLine(line);
    disk.h->desk.QueueFile(disk.dir / "copy.prg");
    DownloadPrg(disk.h->program);
    EXPECT_EQ(disk.Texts().back(), refusals[static_cast<size_t>(line - 2)]);
    EXPECT_EQ(disk.h->program.LinkState, kLinkIecError) << "the command ends aborted";
  }
  EXPECT_TRUE(disk.h->desk.fileRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(disk.dir / "copy.prg"));
}

// The DOS reads ",", ":", "=" and '"' in a file name as its own syntax ("a,s,w" would be saved as
// a SEQ file named "A"). Such names, and a file the disk has no room for, are refused: each
// command ends aborted and the disk stays as it was.
TEST(PrgNames, RestoresTheDriveWouldMisreadOrCannotHoldAreRefusedAndEndAborted) {
  DW_REQUIRE_ORACLES();
  TempDir dir("refused");
  const std::string image = dir / "disk.d64";
  ASSERT_TRUE(oracle::MakeImage(dir, image, {{"keep", Noise(700, 1)}}));
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"a,s,w.prg",
       "Can't restore \"A,S,W\": the drive reads ',' in a file name as DOS syntax; "
       "rename the PC file"},
      {"b:c.prg",
       "Can't restore \"B:C\": the drive reads ':' in a file name as DOS syntax; "
       "rename the PC file"},
      {"d=e.prg",
       "Can't restore \"D=E\": the drive reads '=' in a file name as DOS syntax; "
       "rename the PC file"},
      {"f\"g.prg",
       "Can't restore \"F\"G\": the drive reads '\"' in a file name as DOS syntax; "
       "rename the PC file"},
      {"big.prg", "Can't restore: 701PRG BLOCKS > 'BLOCKS FREE' 661"}};
  Harness h("8=1541-II+:" + image);
  for (const auto& [file, line] : refused) {
    WriteFile(dir / file, Noise(file == "big.prg" ? 700 * 254 : 600, 2));
    h.desk.QueueCommand(kCmdRestoreImage);
    h.desk.QueueFile(dir / file);
  }
  h.Run();
  std::vector<std::string> endings;
  for (const auto& line : h.desk.fullLogTexts()) {
    if (line.rfind("-- ", 0) == 0) endings.push_back(line);
  }
  EXPECT_EQ(endings, std::vector<std::string>(refused.size(), "-- aborted --"));
  for (const auto& [file, line] : refused) EXPECT_TRUE(LogHas(h, line)) << line;
  std::string error;
  ASSERT_TRUE(h.bus->SaveDisk(8, dir / "after.d64", &error)) << error;
  EXPECT_EQ(ReadFile(dir / "after.d64"), ReadFile(image));
}

}  // namespace
}  // namespace dw
