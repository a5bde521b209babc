// A PRG file from the PC is saved on the disk with "@0:", after a free-block check; Verify
// refuses PRG files.

#include <gtest/gtest.h>

#include "disk/prg_restore.h"
#include "prg_test_support.h"

namespace dw {
namespace {

using fake::Bench;
using fake::Prg;
using fake::TempDir;
using fake::WriteFile;

void ShowFreeBlocks(Bench& bench, int freeBlocks) {
  bench.desk.AddDirectoryLine("0 \"DISK            \" AB 2A (1541 DISK)");
  bench.desk.AddDirectoryLine(std::to_string(freeBlocks) + " BLOCKS FREE.             ");
}

// The payload of every data packet sent on secondary address 1.
std::vector<std::vector<uint8_t>> DataPackets(const Bench& bench) {
  std::vector<std::vector<uint8_t>> payloads;
  for (const auto& packet : bench.drive.PacketsOf(0x03, 1)) {
    EXPECT_EQ(packet[1], packet.size()) << "length byte";
    EXPECT_EQ(packet[2], 8) << "device";
    payloads.emplace_back(packet.begin() + 4, packet.end());
  }
  return payloads;
}

TEST(PrgRestore, FileIsSavedWithReplaceUnderItsUpperCaseName) {
  Bench bench;
  TempDir dir("save");
  ShowFreeBlocks(bench, 664);
  std::vector<uint8_t> content = Prg(3000);
  WriteFile(dir / "game.old.prg", content);
  RestorePrg(bench.p, dir / "game.old.prg");
  std::vector<std::string> expected{"Restoring \"GAME\" [PRG]", "Writing 12 blocks; 3000 bytes"};
  EXPECT_EQ(bench.Texts(), expected);
  auto opens = bench.drive.PacketsOf(0x01, 1);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(std::string(opens[0].begin() + 4, opens[0].end()), "@0:GAME");
  EXPECT_EQ(bench.drive.saved["GAME"], content);
  // Packets of 250 bytes and the rest, then the file is closed on the drive.
  auto payloads = DataPackets(bench);
  ASSERT_EQ(payloads.size(), 12u);
  EXPECT_EQ(payloads[0].size(), 250u);
  EXPECT_EQ(payloads[11].size(), 250u);
  EXPECT_EQ(bench.drive.PacketsOf(0x02, 1).size(), 1u);
  EXPECT_EQ(bench.desk.progressValue(), 3000);
  EXPECT_EQ(bench.desk.progressMaximum(), 3000);
}

TEST(PrgRestore, OneAndTwoPackets) {
  for (size_t size : {size_t{250}, size_t{251}}) {
    Bench bench;
    TempDir dir("packets");
    ShowFreeBlocks(bench, 664);
    WriteFile(dir / "p.prg", Prg(size));
    RestorePrg(bench.p, dir / "p.prg");
    auto payloads = DataPackets(bench);
    if (size == 250) {
      ASSERT_EQ(payloads.size(), 1u);
      EXPECT_EQ(payloads[0], Prg(250));
    } else {
      ASSERT_EQ(payloads.size(), 2u);
      EXPECT_EQ(payloads[0].size(), 250u);
      EXPECT_EQ(payloads[1], std::vector<uint8_t>{Prg(251)[250]});
    }
    EXPECT_EQ(bench.drive.saved["P"], Prg(size));
  }
}

TEST(PrgRestore, BlockFigureOfTheMessages) {
  Bench bench;
  TempDir dir("figure");
  ShowFreeBlocks(bench, 664);
  WriteFile(dir / "a.prg", Prg(254));
  RestorePrg(bench.p, dir / "a.prg");
  // size / 254 cut, plus 1: exactly one block's worth is reported as 2.
  EXPECT_TRUE(bench.Logged("Writing 2 blocks; 254 bytes"));
}

TEST(PrgRestore, NotEnoughFreeBlocksSendsNothing) {
  Bench bench;
  TempDir dir("full");
  ShowFreeBlocks(bench, 10);
  WriteFile(dir / "big.prg", Prg(3000));
  RestorePrg(bench.p, dir / "big.prg");
  EXPECT_EQ(bench.Texts(),
            std::vector<std::string>{"Can't restore: 12PRG BLOCKS > 'BLOCKS FREE' 10"});
  EXPECT_TRUE(bench.drive.packets.empty());
}

TEST(PrgRestore, ExactlyTheFreeSpaceFitsOneByteMoreDoesNot) {
  {
    Bench bench;
    TempDir dir("exact");
    ShowFreeBlocks(bench, 10);
    WriteFile(dir / "fits.prg", Prg(2540));
    RestorePrg(bench.p, dir / "fits.prg");
    EXPECT_EQ(bench.drive.saved["FITS"], Prg(2540));
  }
  {
    Bench bench;
    TempDir dir("over");
    ShowFreeBlocks(bench, 10);
    WriteFile(dir / "over.prg", Prg(2541));
    RestorePrg(bench.p, dir / "over.prg");
    EXPECT_EQ(bench.Texts(),
              std::vector<std::string>{"Can't restore: 11PRG BLOCKS > 'BLOCKS FREE' 10"});
    EXPECT_TRUE(bench.drive.packets.empty());
  }
}

// A file line's number is no free figure: a listing that lost its last line (or no listing)
// restores nothing.
TEST(PrgRestore, WithoutTheFreeBlocksLineNothingIsRestored) {
  for (bool listed : {false, true}) {
    Bench bench;
    TempDir dir("nofree");
    if (listed) {
      bench.desk.AddDirectoryLine("0 \"DISK            \" AB 2A (1541 DISK)");
      bench.desk.AddDirectoryLine("400  \"BIG\"              PRG    ");
    }
    WriteFile(dir / "one.prg", {0x01});
    RestorePrg(bench.p, dir / "one.prg");
    EXPECT_EQ(bench.Texts(), std::vector<std::string>{
                                 "Can't restore: no 'BLOCKS FREE' line in the directory listing"});
    EXPECT_TRUE(bench.drive.packets.empty());
    EXPECT_EQ(bench.p.LinkState, kLinkIecError);  // the command ends aborted
  }
}

TEST(PrgRestore, LongNamesAreCutToSixteenCharactersForTheDrive) {
  Bench bench;
  TempDir dir("long");
  ShowFreeBlocks(bench, 664);
  WriteFile(dir / "abcdefghijklmnopqrstuvwxyz.prg", Prg(40));
  RestorePrg(bench.p, dir / "abcdefghijklmnopqrstuvwxyz.prg");
  EXPECT_TRUE(bench.Logged("Restoring \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\" [PRG]"));
  auto opens = bench.drive.PacketsOf(0x01, 1);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(std::string(opens[0].begin() + 4, opens[0].end()), "@0:ABCDEFGHIJKLMNOP");
  EXPECT_EQ(opens[0][1], 4 + 19);
}

TEST(PrgRestore, UnreadableFileGivesABoxWithoutIcon) {
  TempDir dir("unreadable");
  for (std::string path : {dir / "missing.prg", dir.path()}) {
    Bench bench;
    ShowFreeBlocks(bench, 664);
    RestorePrg(bench.p, path);
    ASSERT_EQ(bench.desk.messages().size(), 1u) << path;
    const MessageRequest& box = bench.desk.messages()[0].request;
    EXPECT_EQ(box.caption, "Diskwright");
    EXPECT_EQ(box.text, "Error: Can't read from file " + path);
    EXPECT_EQ(box.icon, MessageIcon::kNone);
    EXPECT_TRUE(bench.drive.packets.empty()) << path;
    EXPECT_TRUE(bench.desk.log().empty()) << path;
    EXPECT_EQ(bench.p.LinkState, kLinkIecError) << path;
  }
}

TEST(PrgRestore, DeviceThatNeverEndsIsRefusedByWhatItDelivers) {
  Bench bench;
  ShowFreeBlocks(bench, 1);
  RestorePrg(bench.p, "/dev/zero");
  EXPECT_EQ(bench.Texts(),
            std::vector<std::string>{"Can't restore: 2PRG BLOCKS > 'BLOCKS FREE' 1"});
  EXPECT_TRUE(bench.drive.packets.empty());
}

TEST(PrgRestore, WriteProtectedDiskRefusesTheFile) {
  Bench bench;
  TempDir dir("protect");
  ShowFreeBlocks(bench, 664);
  std::vector<uint8_t> content = Prg(600);
  WriteFile(dir / "keep.prg", content);
  bench.drive.openWriteMessage = "26, WRITE PROTECT ON,18,00";
  RestorePrg(bench.p, dir / "keep.prg");
  std::vector<std::string> expected{"Restoring \"KEEP\" [PRG]", "26, WRITE PROTECT ON,18,00"};
  EXPECT_EQ(bench.Texts(), expected);
  EXPECT_TRUE(bench.drive.PacketsOf(0x03, 1).empty());
  // The drive file is not closed by this command when the drive refused it.
  EXPECT_TRUE(bench.drive.PacketsOf(0x02, 1).empty());
  EXPECT_EQ(fake::ReadFile(dir / "keep.prg"), content);
}

TEST(PrgRestore, DiskFullIsReportedWhenTheFileIsClosed) {
  Bench bench;
  TempDir dir("diskfull");
  ShowFreeBlocks(bench, 664);
  std::vector<uint8_t> content = Prg(900);
  WriteFile(dir / "full.prg", content);
  bench.drive.closeWriteMessage = "72, DISK FULL,00,00";
  RestorePrg(bench.p, dir / "full.prg");
  EXPECT_EQ(bench.Texts().back(), "72, DISK FULL,00,00");
  EXPECT_EQ(bench.p.DosErrorFlag, 1);
  EXPECT_EQ(fake::ReadFile(dir / "full.prg"), content);
}

TEST(PrgRestore, DriveStatusAfterAPacketEndsTheLoopAndClosesTheFile) {
  Bench bench;
  TempDir dir("status");
  ShowFreeBlocks(bench, 664);
  WriteFile(dir / "s.prg", Prg(1000));
  bench.drive.writeStatus[2] = 0x03;  // the drive stopped listening during packet 2
  bench.drive.closeWriteMessage = "74,DRIVE NOT READY,00,00";
  RestorePrg(bench.p, dir / "s.prg");
  EXPECT_EQ(DataPackets(bench).size(), 2u);
  EXPECT_EQ(bench.drive.PacketsOf(0x02, 1).size(), 1u);
  EXPECT_TRUE(bench.Logged("Drive #8 ERROR! ---> IEC Bus: TIMEOUT (IEC OUT)"));
  // The drive's own message is read although the bus reported an error; the command still
  // ends aborted.
  EXPECT_EQ(bench.Texts().back(), "74,DRIVE NOT READY,00,00");
  EXPECT_EQ(bench.p.LinkState, kLinkIecError);
}

TEST(PrgRestore, AbortSendsNothingMoreAndLeavesTheDriveFileOpen) {
  Bench bench;
  TempDir dir("abort");
  ShowFreeBlocks(bench, 664);
  WriteFile(dir / "a.prg", Prg(2000));
  int writes = 0;
  bench.drive.beforeReply = [&](const std::vector<uint8_t>& packet) {
    if (packet[0] == 0x03 && packet[3] == 1 && ++writes == 3) {
      bench.desk.PressReset();
      return false;
    }
    return true;
  };
  RestorePrg(bench.p, dir / "a.prg");
  EXPECT_EQ(bench.p.LinkState, kLinkAborted);
  EXPECT_EQ(bench.drive.PacketsOf(0x03, 1).size(), 3u);
  EXPECT_TRUE(bench.drive.PacketsOf(0x02, 1).empty());
  // The rest of the PC file was gone through without being sent.
  EXPECT_EQ(bench.desk.progressValue(), 2000);
}

TEST(PrgVerify, PrgFilesAreNotVerified) {
  Bench bench;
  bench.desk.QueueFile("/somewhere/game.Prg");
  VerifyFromFile(bench.p);
  EXPECT_TRUE(bench.Logged("PRG verify is not supported"));
  ASSERT_EQ(bench.desk.fileRequests().size(), 1u);
  EXPECT_FALSE(bench.desk.fileRequests()[0].request.saving);
  EXPECT_EQ(bench.desk.fileRequests()[0].request.entry, 0);
  // The disk was initialised first.
  auto commands = bench.drive.PacketsOf(0x03, 15);
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(std::string(commands[0].begin() + 4, commands[0].end()), "I");
}

TEST(PrgVerify, ImageFilesGoToTheImageVerify) {
  Bench bench;
  bench.desk.QueueFile("/somewhere/disk.d64");
  VerifyFromFile(bench.p);
  EXPECT_FALSE(bench.Logged("PRG verify is not supported"));
}

TEST(PrgVerify, NeedsTheFastSerialDriverOnA1541) {
  Bench bench;
  bench.p.FastSerialDriver = 0;
  VerifyFromFile(bench.p);
  EXPECT_EQ(bench.Texts(),
            std::vector<std::string>{"Not supported without 6522 Fast Serial Driver!"});
  EXPECT_TRUE(bench.desk.fileRequests().empty());
  EXPECT_TRUE(bench.drive.packets.empty());
}

TEST(PrgVerify, DoubleSidedDiskInA1571PreselectsD71) {
  Bench bench;
  bench.p.DriveFamily = kFamily1571;
  bench.p.FastSerialDriver = 0;  // not needed on a 1571
  bench.drive.memory[0x02AC] = 0x47;
  VerifyFromFile(bench.p);
  ASSERT_EQ(bench.desk.fileRequests().size(), 1u);
  EXPECT_EQ(bench.desk.fileRequests()[0].request.entry, 1);
  EXPECT_EQ(bench.desk.fileRequests()[0].request.typeList,
            "D64 Image (*.d64)|*.d64|D71 Image (*.d71)|*.d71|D64 & D71 Image "
            "(*.d64;*.d71)|*.d64;*.d71|PRG Image (*.prg)|*.prg|G64 Image (*.g64)|*.g64|"
            "all files (*.*)|*.*");
}

TEST(PrgVerify, LinkFailureEndsBeforeTheRequester) {
  Bench bench;
  bench.drive.beforeReply = [](const std::vector<uint8_t>&) { return false; };
  VerifyFromFile(bench.p);
  EXPECT_TRUE(bench.Logged("Connection Timeout"));
  EXPECT_TRUE(bench.desk.fileRequests().empty());
}

}  // namespace
}  // namespace dw
