// A double-click on a file line copies the program file to the PC, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>

#include "disk/directory.h"
#include "prg_test_support.h"
#include "testkit/pc_disk_full.h"

namespace dw {
namespace {

using fake::Bench;
using fake::Prg;
using fake::ReadFile;
using fake::TempDir;

// A listing with the given files shown, and the file line of `name` selected.
void ListAndSelect(Bench& bench, const std::vector<fake::ListedFile>& files,
                   const std::string& name) {
  bench.drive.files["$"] = fake::Listing("DISK", "AB 2A", files, 600);
  ShowDirectory(bench.p);
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].name == name) bench.desk.SelectDirectoryLine(static_cast<int>(i + 1));
  }
  bench.drive.packets.clear();
}

struct Download {
  std::vector<uint8_t> pcFile;
  std::vector<std::string> log;
};

Download DownloadOne(const std::vector<uint8_t>& content, const std::string& name = "PROG") {
  Bench bench;
  TempDir dir("download");
  bench.drive.files[name] = content;
  int blocks = static_cast<int>((content.size() + 253) / 254);
  ListAndSelect(bench, {{blocks, name}}, name);
  bench.desk.QueueFile(dir / "prog.prg");
  DownloadPrg(bench.p);
  return {ReadFile(dir / "prog.prg"), bench.Texts()};
}

TEST(PrgDownload, HeaderFreeBlocksAndNoSelectionAreRefused) {
  for (int line : {0, 2, -1}) {
    Bench bench;
    ListAndSelect(bench, {{1, "ONE"}}, "");
    bench.desk.SelectDirectoryLine(line);
    DownloadPrg(bench.p);
    EXPECT_EQ(bench.Texts(), std::vector<std::string>{"SELECTION NOT VALID!"}) << line;
    EXPECT_TRUE(bench.drive.packets.empty()) << line;
    EXPECT_TRUE(bench.desk.fileRequests().empty()) << line;
    EXPECT_EQ(bench.desk.SelectedDirectoryLine(), -1) << line;
  }
}

TEST(PrgDownload, SmallFilesAndTheirSummaries) {
  Download two = DownloadOne(Prg(2));
  EXPECT_EQ(two.pcFile, Prg(2));
  std::vector<std::string> expected{"Open 1541-II+ file: \"PROG\" [PRG]",
                                    "PRG image size: $2 bytes", "Blocks: 1"};
  EXPECT_EQ(two.log, expected);

  Download one = DownloadOne({0x42});
  EXPECT_EQ(one.pcFile, std::vector<uint8_t>{0x42});
  EXPECT_EQ(one.log.back(), "Blocks: 1");
}

TEST(PrgDownload, BlockCountsAroundOneBlock) {
  Download b254 = DownloadOne(Prg(254));
  EXPECT_EQ(b254.pcFile, Prg(254));
  EXPECT_EQ(b254.log[1], "PRG image size: $FE bytes");
  EXPECT_EQ(b254.log[2], "Blocks: 1");

  Download b255 = DownloadOne(Prg(255));
  EXPECT_EQ(b255.pcFile, Prg(255));
  EXPECT_EQ(b255.log[1], "PRG image size: $FF bytes");
  EXPECT_EQ(b255.log[2], "Blocks: 2");

  Download b253 = DownloadOne(Prg(253));
  EXPECT_EQ(b253.pcFile, Prg(253));
  EXPECT_EQ(b253.log[2], "Blocks: 1");
}

TEST(PrgDownload, StartAndEndAddressOfAProgramAt0801) {
  Download d = DownloadOne(Prg(102, 0x0801));
  std::vector<std::string> expected{"Open 1541-II+ file: \"PROG\" [PRG]",
                                    "PRG image size: $66 bytes", "Blocks: 1", "Start address: $801",
                                    "End   address: $864"};
  EXPECT_EQ(d.log, expected);
}

TEST(PrgDownload, ManyBlocksArriveWhole) {
  Bench bench;
  TempDir dir("many");
  std::vector<uint8_t> content = Prg(5000, 0xC000);
  bench.drive.files["BIG"] = content;
  ListAndSelect(bench, {{20, "BIG"}}, "BIG");
  bench.desk.QueueFile(dir / "big.prg");
  DownloadPrg(bench.p);
  EXPECT_EQ(ReadFile(dir / "big.prg"), content);
  EXPECT_TRUE(bench.Logged("PRG image size: $1388 bytes"));
  EXPECT_TRUE(bench.Logged("Blocks: 20"));
  EXPECT_TRUE(bench.Logged("End   address: $D385"));
  // The probe opens and closes the file; then 20 reads of 254 bytes on channel 0.
  auto reads = bench.drive.PacketsOf(0x04, 0);
  ASSERT_EQ(reads.size(), 20u);
  EXPECT_EQ(reads[0], (std::vector<uint8_t>{0x04, 0x06, 8, 0, 0, 254}));
  EXPECT_EQ(bench.drive.PacketsOf(0x01, 0).size(), 2u);
  EXPECT_EQ(bench.drive.PacketsOf(0x02, 0).size(), 2u);
  // Progress counts the blocks from 0 against the directory's block count.
  EXPECT_EQ(bench.desk.progressValue(), 19);
  EXPECT_EQ(bench.desk.progressMaximum(), 20);
}

TEST(PrgDownload, OfferedNameAndRequester) {
  Bench bench;
  bench.drive.files["GAME"] = Prg(10);
  ListAndSelect(bench, {{1, "GAME"}}, "GAME");
  DownloadPrg(bench.p);  // the requester is cancelled
  ASSERT_EQ(bench.desk.fileRequests().size(), 1u);
  const FileRequest& request = bench.desk.fileRequests()[0].request;
  EXPECT_TRUE(request.saving);
  EXPECT_EQ(request.title, "Save as");
  EXPECT_EQ(request.fileName, "GAME");
  EXPECT_EQ(request.entry, 1);
  EXPECT_TRUE(bench.Logged("Save Image canceled"));
  // Only the probe touched the file on the drive.
  EXPECT_EQ(bench.drive.PacketsOf(0x01, 0).size(), 1u);
  EXPECT_TRUE(bench.drive.PacketsOf(0x04, 0).empty());
}

TEST(PrgDownload, NamesAPcCannotTakeAreNotOffered) {
  for (std::string name : {"A/B", "X:Y", "LT<", "PIPE|", "BACK\\"}) {
    Bench bench;
    bench.drive.files[name] = Prg(10);
    ListAndSelect(bench, {{1, name}}, name);
    DownloadPrg(bench.p);
    ASSERT_EQ(bench.desk.fileRequests().size(), 1u) << name;
    EXPECT_EQ(bench.desk.fileRequests()[0].request.fileName, "") << name;
  }
}

TEST(PrgDownload, FileTheDriveCannotOpenEndsBeforeAnyPcFile) {
  Bench bench;
  ListAndSelect(bench, {{1, "GONE"}}, "GONE");  // listed, but not on the disk any more
  DownloadPrg(bench.p);
  std::vector<std::string> expected{"Open 1541-II+ file: \"GONE\" [PRG]",
                                    "62, FILE NOT FOUND,00,00"};
  EXPECT_EQ(bench.Texts(), expected);
  EXPECT_TRUE(bench.desk.fileRequests().empty());
  EXPECT_NE(bench.p.LinkState, 0) << "nothing was downloaded: the command ends aborted";
}

TEST(PrgDownload, PcFileThatCannotBeCreatedGivesABox) {
  Bench bench;
  TempDir dir("nocreate");
  bench.drive.files["PROG"] = Prg(300);
  ListAndSelect(bench, {{2, "PROG"}}, "PROG");
  std::string path = dir / "missing-folder/prog.prg";
  bench.desk.QueueFile(path);
  DownloadPrg(bench.p);
  ASSERT_EQ(bench.desk.messages().size(), 1u);
  const MessageRequest& box = bench.desk.messages()[0].request;
  EXPECT_EQ(box.caption, "Diskwright");
  EXPECT_EQ(box.text, "Error: Can't write to file " + path);
  EXPECT_EQ(box.icon, MessageIcon::kWarning);
  EXPECT_EQ(box.buttons, MessageButtons::kOk);
  EXPECT_TRUE(bench.drive.PacketsOf(0x04, 0).empty());
  EXPECT_FALSE(bench.Logged("Blocks: 2"));
  EXPECT_EQ(bench.p.LinkState, kLinkIecError);  // the command ends aborted
}

// A full PC disk stops the transfer at the block that did not fit: the older file stays as it
// was and nothing of the new one is left. A device is never replaced by a file.
TEST(PrgDownload, FailingWritesAreReportedNotSilentlyShort) {
  Bench bench;
  TempDir dir("pcfull");
  bench.drive.files["PROG"] = Prg(3000);
  ListAndSelect(bench, {{12, "PROG"}}, "PROG");
  const std::string path = dir / "prog.prg";
  const std::vector<uint8_t> older(10, 0xEE);
  fake::WriteFile(path, older);
  bench.desk.QueueFile(path);
  bench.desk.QueueMessageAnswer(MessageAnswer::kYes);  // replace it
  {
    PcDiskFull full(1000);
    DownloadPrg(bench.p);
  }
  ASSERT_EQ(bench.desk.messages().size(), 2u);
  const MessageRequest& box = bench.desk.messages()[1].request;
  EXPECT_EQ(box.text, "Error: Can't write to file " + path);
  EXPECT_EQ(box.icon, MessageIcon::kWarning);
  // The fourth block, bytes 763 to 1016, did not fit.
  EXPECT_EQ(bench.drive.PacketsOf(0x04, 0).size(), 4u);
  EXPECT_EQ(ReadFile(path), older);
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  EXPECT_EQ(bench.p.LinkState, kLinkIecError);
  // The drive's file is still closed.
  EXPECT_EQ(bench.drive.packets.back(), (std::vector<uint8_t>{0x02, 0x04, 8, 0}));

  bench.p.LinkState = 0;
  bench.desk.SelectDirectoryLine(1);
  bench.desk.QueueFile("/dev/full", 2);  // "all files": the name stays bare
  bench.desk.QueueMessageAnswer(MessageAnswer::kYes);
  DownloadPrg(bench.p);
  ASSERT_EQ(bench.desk.messages().size(), 4u);
  EXPECT_EQ(bench.desk.messages()[3].request.text, "Error: Can't write to file /dev/full");
  EXPECT_EQ(bench.p.LinkState, kLinkIecError);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
  EXPECT_FALSE(std::filesystem::exists("/dev/full.part"));
}

TEST(PrgDownload, AbortKeepsTheBytesReceivedAndStillSummarises) {
  Bench bench;
  TempDir dir("abort");
  std::vector<uint8_t> content = Prg(2000);
  bench.drive.files["PROG"] = content;
  ListAndSelect(bench, {{8, "PROG"}}, "PROG");
  bench.desk.QueueFile(dir / "prog.prg");
  // RESET is pressed while the third block is on its way.
  int reads = 0;
  bench.drive.beforeReply = [&](const std::vector<uint8_t>& packet) {
    if (packet[0] == 0x04 && packet[3] == 0 && ++reads == 3) {
      bench.desk.PressReset();
      return false;
    }
    return true;
  };
  DownloadPrg(bench.p);
  EXPECT_EQ(bench.p.LinkState, kLinkAborted);
  std::vector<uint8_t> expected(content.begin(), content.begin() + 508);
  EXPECT_EQ(ReadFile(dir / "prog.prg.part"), expected);
  EXPECT_TRUE(bench.Logged("PRG image size: $1FC bytes"));
  EXPECT_TRUE(bench.Logged("Blocks: 2"));
  EXPECT_TRUE(bench.Logged("Start address: $801"));
  EXPECT_TRUE(bench.desk.messages().empty());
}

TEST(PrgDownload, TimeoutKeepsTheBytesReceived) {
  Bench bench;
  TempDir dir("timeout");
  bench.drive.files["PROG"] = Prg(1000);
  ListAndSelect(bench, {{4, "PROG"}}, "PROG");
  bench.desk.QueueFile(dir / "prog.prg");
  int reads = 0;
  bench.drive.beforeReply = [&](const std::vector<uint8_t>& packet) {
    return !(packet[0] == 0x04 && packet[3] == 0 && ++reads == 2);
  };
  DownloadPrg(bench.p);
  EXPECT_EQ(bench.p.LinkState, kLinkTimeout);
  EXPECT_EQ(ReadFile(dir / "prog.prg.part").size(), 254u);
  EXPECT_TRUE(bench.Logged("Connection Timeout"));
  EXPECT_TRUE(bench.Logged("PRG image size: $FE bytes"));
}

// A disk pulled out in the middle: the drive ends the file early, either cleanly (EOI) or by
// sending nothing more, and tells why on its error channel.
TEST(PrgDownload, FileTheDriveBreaksOffIsReportedIncompleteWithTheDrivesError) {
  struct Break {
    uint8_t status;  // of the read that finds nothing more
    std::string message;
  };
  for (const Break& cut :
       {Break{0x40, "21,READ ERROR,17,05"}, Break{0x02, "74,DRIVE NOT READY,00,00"}}) {
    Bench bench;
    TempDir dir("incomplete");
    std::vector<uint8_t> content = Prg(8 * 254 - 20);
    bench.drive.files["PROG"] = content;
    ListAndSelect(bench, {{8, "PROG"}}, "PROG");
    bench.drive.loadBreaksAfter = 600;
    bench.drive.loadBreakStatus = cut.status;
    bench.drive.errorMessages = {"00, OK,00,00", cut.message};
    bench.desk.QueueFile(dir / "prog.prg");
    DownloadPrg(bench.p);
    EXPECT_EQ(ReadFile(dir / "prog.prg.part"),
              std::vector<uint8_t>(content.begin(), content.begin() + 600));
    std::vector<std::string> texts = bench.Texts();
    std::vector<std::string> tail(texts.end() - 3, texts.end());
    std::vector<std::string> expected{
        "End   address: $A56", cut.message,
        "Incomplete file: received up to byte 600, kept in " + dir / "prog.prg.part"};
    EXPECT_EQ(tail, expected) << int{cut.status};
    EXPECT_EQ(bench.p.LinkState, kLinkIecError);  // the command ends aborted
    EXPECT_EQ(bench.drive.packets.back(), (std::vector<uint8_t>{0x02, 0x04, 8, 0}));
  }
}

TEST(PrgDownload, DriveThatNeverEndsTheFileStopsPastTheLargestDisk) {
  Bench bench;
  TempDir dir("limit");
  bench.drive.files["LOOP"] = Prg(813000);
  ListAndSelect(bench, {{3, "LOOP"}}, "LOOP");
  bench.desk.QueueFile(dir / "loop.prg");
  DownloadPrg(bench.p);
  // Every block of a 1581 disk: 3200 x 254 bytes.
  EXPECT_EQ(ReadFile(dir / "loop.prg.part").size(), 812800u);
  EXPECT_TRUE(bench.Logged("PRG image size: $C6700 bytes"));
  EXPECT_TRUE(bench.Logged("Download stopped at 812800 bytes, more than a disk can hold"));
  EXPECT_EQ(bench.p.LinkState, kLinkIecError);
}

}  // namespace
}  // namespace dw
