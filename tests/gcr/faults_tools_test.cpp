// The GCR tools when the drive, the disk or the PC fails them: what the user is told, and that
// nothing is claimed done that was not and nothing on the PC is lost.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "testkit/pc_disk_full.h"
#include "tool_test_support.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

Lines FolderEntries(const TempFolder& folder) {
  Lines names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The track lines of a G64 restore ("01     00023C  1E0C ..."), by track number.
std::vector<int> RestoredTrackLines(const Lines& log) {
  static const std::regex line("^(\\d\\d)     [0-9A-F]{6}  .*");
  std::vector<int> tracks;
  for (const std::string& text : log) {
    std::smatch match;
    if (std::regex_match(text, match, line)) tracks.push_back(std::stoi(match[1]));
  }
  return tracks;
}

// The link fails in the middle of the tracks: the tracks after it never go down, so none of
// them may be listed as restored, and the link's failure is told once.
TEST(G64RestoreFaults, AfterATimeoutOrResetNoFurtherTrackIsListedAsRestored) {
  if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
  for (const std::string fault : {"reset", "poweroff"}) {
    SCOPED_TRACE(fault);
    TempFolder folder("g64fault");
    tooltest::MakeDisk(folder, "disk.d64", "-g disk.g64");
    Harness h("8=1541-II+:blank");
    // Track 14 or so: the set-up takes a second, a track about half a second.
    if (fault == "reset") {
      h.desk.ScheduleEvent(8'000'000, {EventKind::kResetButton, 0});
    } else {
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*h.bus, {"poweroff", "8"}, 8'000'000, &error)) << error;
    }
    h.desk.QueueFile(folder / "disk.g64");
    h.desk.QueueCommand(kCmdRestoreImage);
    h.Run();
    const Lines log = tooltest::CommandLogs(h.desk).at(0);
    const std::vector<int> tracks = RestoredTrackLines(log);
    ASSERT_FALSE(tracks.empty());
    EXPECT_LT(tracks.back(), 20) << "listed up to track " << tracks.back();
    EXPECT_EQ(log.back(), "-- aborted --");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Connection Timeout"), fault == "reset" ? 0 : 1);
  }
}

TEST(G64RestoreFaults, AFileGoneBetweenTheRequesterAndTheOpenIsToldAndNothingIsWritten) {
  TempFolder folder("g64gone");
  Harness h("8=1541-II+:blank");
  const std::string path = folder / "gone.g64";
  h.desk.QueueFile(path);
  h.desk.QueueCommand(kCmdRestoreImage);
  h.Run();
  ASSERT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(h.desk.messages()[0].request.text, "Error: Can't read from file " + path);
  EXPECT_FALSE(h.desk.Logged("Restoring file: \"gone.g64\""));
  EXPECT_EQ(h.desk.statusTexts().end(),
            std::find_if(h.desk.statusTexts().begin(), h.desk.statusTexts().end(),
                         [](const std::string& s) { return s.rfind("Writing Track", 0) == 0; }));
}

TEST(TrackDumpFaults, AnErasedTrackListsEverySectorAsNotFound) {
  if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
  TempFolder folder("dumperased");
  const std::string image = tooltest::MakeDisk(folder, "disk.d64");
  Harness h("8=1541-II+:" + image);
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h.bus, {"unformat", "8", "18"}, 0, &error)) << error;
  h.desk.QueueText("18");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const Lines log = tooltest::CommandLogs(h.desk).at(0);
  int notFound = 0;
  for (int sector = 0; sector <= 20; ++sector) {
    char line[32];
    std::snprintf(line, sizeof line, "S%02d: SECTOR NOT FOUND", sector);
    notFound += std::count(log.begin(), log.end(), line) == 1;
  }
  EXPECT_EQ(notFound, 21);
  EXPECT_EQ(log.back(), "-- done --");
}

// A path whose folder is a plain file stands in for a folder that takes no file: the system
// refuses the file for root as well.
TEST(RomDumpFaults, AFolderThatTakesNoFileGetsABoxAndNothingIsLeft) {
  TempFolder folder("romfolder");
  tooltest::WriteBytes(folder / "plain", {'x'});
  const std::string path = folder / "plain/rom.bin";
  Harness h("8=1541-II+");
  h.desk.QueueFile(path);
  h.desk.QueueCommand(kCmdDumpRom);
  h.Run();
  ASSERT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(h.desk.messages()[0].request.text, "Error: Can't write to file " + path);
  EXPECT_EQ(h.desk.messages()[0].request.icon, MessageIcon::kWarning);
  EXPECT_EQ(h.desk.logTexts().back(), "-- aborted --");
  EXPECT_EQ(FolderEntries(folder), Lines{"plain"});
}

// A PC disk that fills up under the dump: the file size limit of the process stands in for it.
TEST(RomDumpFaults, APcDiskFullKeepsTheOlderFileAndLeavesNoPart) {
  TempFolder folder("romfull");
  const std::string path = folder / "rom.bin";
  const std::vector<uint8_t> older(1000, 0xEE);
  tooltest::WriteBytes(path, older);
  Harness h("8=1541-II+");
  h.desk.QueueFile(path);
  h.desk.QueueMessageAnswer(MessageAnswer::kYes);  // replace it
  h.desk.QueueCommand(kCmdDumpRom);
  {
    PcDiskFull full(4000);
    h.Run();
  }

  ASSERT_EQ(h.desk.messages().size(), 2u);
  EXPECT_EQ(h.desk.messages()[1].request.text, "Error: Can't write to file " + path);
  EXPECT_TRUE(h.desk.Logged("Saving ROM image: " + path));
  EXPECT_EQ(tooltest::ReadBytes(path), older);
  EXPECT_EQ(FolderEntries(folder), Lines{"rom.bin"});
}

}  // namespace
}  // namespace dw
