// "Dump ROM" from the menu: the file holds the virtual drive's memory from the ROM start on.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tool_test_support.h"
#include "tools/rom_dump.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

std::vector<uint8_t> DriveMemory(Harness& h, int device, uint32_t start) {
  std::vector<uint8_t> bytes;
  for (uint32_t address = start; address <= 0xFFFF; ++address) {
    bytes.push_back(h.bus->drive(device)->memory().Read(static_cast<uint16_t>(address)));
  }
  return bytes;
}

std::vector<std::string> FolderEntries(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct RomCase {
  const char* drive;
  const char* proposed;
  uint32_t start;
  const char* range;
};

class DumpRom : public ::testing::TestWithParam<RomCase> {};

TEST_P(DumpRom, TheFileIsTheDrivesMemoryFromTheRomStart) {
  const RomCase c = GetParam();
  TempFolder folder("rom");
  const std::string path = folder / "rom.bin";
  Harness h(std::string("8=") + c.drive);
  h.desk.QueueFile(path);
  h.desk.QueueCommand(kCmdDumpRom);
  h.Run();
  ASSERT_EQ(h.desk.fileRequests().size(), 1u);
  const FileRequest& request = h.desk.fileRequests()[0].request;
  EXPECT_TRUE(request.saving);
  EXPECT_EQ(request.fileName, c.proposed);
  // The name tells the model, not whether the fast serial driver was found.
  // The list has three entries; the fifth asked for is the last, all files.
  EXPECT_EQ(request.entry, 2);
  EXPECT_EQ(tooltest::CommandLogs(h.desk).at(0),
            (Lines{std::string("Memory download ") + c.range, "Saving ROM image: " + path,
                   "-- done --"}));
  const std::vector<uint8_t> file = tooltest::ReadBytes(path);
  EXPECT_EQ(file.size(), 0x10000 - c.start);
  EXPECT_TRUE(file == DriveMemory(h, 8, c.start));
  EXPECT_EQ(FolderEntries(folder), Lines{"rom.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    EveryRomSize, DumpRom,
    ::testing::Values(RomCase{"1541-II+", "1541-II_C000_ROM.bin", 0xC000, "$C000-$FFFF"},
                      RomCase{"1570", "1570_C000_ROM.bin", 0xC000, "$C000-$FFFF"},
                      RomCase{"1571", "1571_8000_ROM.bin", 0x8000, "$8000-$FFFF"},
                      RomCase{"1581", "1581_8000_ROM.bin", 0x8000, "$8000-$FFFF"}));

// The drive code stops answering after the connection: the memory job never comes back.
Harness& WithHungDriveCode(Harness& h) {
  h.Connect();
  std::string error;
  EXPECT_TRUE(ApplyBusFault(*h.bus, {"hangcode", "8"}, 0, &error)) << error;
  return h;
}

TEST(DumpRomFailure, ADownloadThatTimesOutLeavesNoFile) {
  TempFolder folder("romfail");
  Harness h("8=1541-II+");
  h.desk.QueueFile(folder / "rom.bin");
  h.desk.QueueCommand(kCmdDumpRom);
  WithHungDriveCode(h).Run();
  EXPECT_EQ(tooltest::CommandLogs(h.desk).at(0),
            (Lines{"Memory download $C000-$FFFF", "Connection Timeout", "Download failed",
                   "-- aborted --"}));
  EXPECT_TRUE(FolderEntries(folder).empty());
}

TEST(DumpRomFailure, ADownloadThatTimesOutLeavesTheOlderFileAsItWas) {
  TempFolder folder("romfail");
  const std::string path = folder / "1541-II_C000_ROM.bin";
  const std::vector<uint8_t> older = {'o', 'l', 'd'};
  tooltest::WriteBytes(path, older);
  Harness h("8=1541-II+");
  h.desk.QueueFile(path);
  h.desk.QueueMessageAnswer(MessageAnswer::kYes);  // replace it
  h.desk.QueueCommand(kCmdDumpRom);
  WithHungDriveCode(h).Run();
  ASSERT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(h.desk.messages()[0].request.caption, "File already exists");
  EXPECT_TRUE(h.desk.Logged("Download failed"));
  EXPECT_FALSE(h.desk.Logged("Saving ROM image: " + path));
  EXPECT_EQ(tooltest::ReadBytes(path), older);
  EXPECT_EQ(FolderEntries(folder), Lines{"1541-II_C000_ROM.bin"});
}

// The download's reply ends in a wrong echo byte: it is no proper reply, and no ROM. (A 1581's
// download is the dump's one exchange, so the fault hits it and nothing else.)
TEST(DumpRomFailure, AGarbledReplyIsNoRomAndLeavesNoFile) {
  TempFolder folder("romgarbled");
  Harness h("8=1581");
  h.Connect();
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h.bus, {"echo"}, 0, &error)) << error;
  h.desk.QueueFile(folder / "rom.bin");
  h.desk.ClearLog();
  dw::DumpRom(h.program);
  EXPECT_EQ(h.desk.logTexts(),
            (Lines{"Memory download $8000-$FFFF", "Response Error", "Download failed"}));
  EXPECT_NE(h.program.LinkState, 0) << "the command ends aborted";
  EXPECT_TRUE(FolderEntries(folder).empty());
}

TEST(DumpRomFailure, ACancelledRequesterDoesNothing) {
  TempFolder folder("romcancel");
  Harness h("8=1541-II+,9=1541-II");
  h.desk.QueueFile("");
  h.desk.QueueCommand(kCmdDumpRom);
  // Without the fast serial driver no requester is shown.
  h.desk.QueueIdleEvent({EventKind::kDeviceSelected, 1});
  h.desk.QueueCommand(kCmdDumpRom);
  h.Run();
  const std::vector<Lines> logs = tooltest::CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0], (Lines{"Save Image canceled", "-- done --"}));
  EXPECT_EQ(Lines(logs[1].end() - 2, logs[1].end()),
            (Lines{"Not supported without 6522 Fast Serial Driver!", "-- done --"}));
  EXPECT_EQ(h.desk.fileRequests().size(), 1u);
  EXPECT_TRUE(FolderEntries(folder).empty());
}

}  // namespace
}  // namespace dw
