// "Dump track" from the menu against virtual GCR drives with disks made by cc1541.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/main_loop.h"
#include "tool_test_support.h"
#include "tools/track_dump.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;
using tooltest::CommandLogs;

constexpr size_t kD64IdOffset = 91554;  // the BAM's two disk ID characters

std::string Hex2(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string SectorLine(int sector, const std::string& text) {
  char head[8];
  std::snprintf(head, sizeof head, "S%02d: ", sector);
  return head + text;
}

// The start of a found sector's line: its header block decoded.
std::string HeaderListing(int track, int sector, uint8_t id1, uint8_t id2) {
  const unsigned checksum = static_cast<unsigned>(sector ^ track ^ id1 ^ id2);
  return SectorLine(sector, " 08 " + Hex2(checksum) + " " + Hex2(static_cast<unsigned>(sector)) +
                                " " + Hex2(static_cast<unsigned>(track)) + " " + Hex2(id2) + " " +
                                Hex2(id1) + " 0F 0F");
}

// The sector lines of a dump: from the empty line behind the track status line on.
Lines SectorLines(const Lines& log) {
  Lines sectors;
  for (const std::string& line : log) {
    if (line.size() >= 4 && line[0] == 'S' && std::isdigit(static_cast<unsigned char>(line[1])) &&
        line[3] == ':') {
      sectors.push_back(line);
    }
  }
  return sectors;
}

// The figure of the line "Actual  track capacity: N"; -1 when the line is something else. The
// drive's count of a track's bytes is rounded and jitters by one either way: within one and a
// half counts, 8.4 bytes of a turn of 200000 us.
int ActualCapacity(const std::string& line) {
  const std::string head = "Actual  track capacity: ";
  if (line.rfind(head, 0) != 0) return -1;
  return std::stoi(line.substr(head.size()));
}
constexpr int kCountSpread = 9;

Lines PaneLines(const std::string& pane) {
  Lines lines;
  std::istringstream in(pane);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TrackDump : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
  }
  TempFolder folder_{"dump"};
};

TEST_F(TrackDump, Track18ListsEverySectorWithItsSyncsAndTheTrackFigures) {
  const std::string disk = tooltest::MakeDisk(folder_, "disk.d64");
  const std::vector<uint8_t> image = tooltest::ReadBytes(disk);
  const uint8_t id1 = image[kD64IdOffset];
  const uint8_t id2 = image[kD64IdOffset + 1];
  Harness h("8=1541-II+:" + disk);
  h.desk.QueueText("18");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  ASSERT_EQ(h.desk.textRequests().size(), 1u);
  const TextRequest& asked = h.desk.textRequests()[0];
  EXPECT_EQ(asked.title, "Diskwright");
  EXPECT_EQ(asked.prompt, "Read track #; (append 'p' for physical; e.g. 36p)");
  EXPECT_EQ(asked.defaultText, "18");

  const Lines log = CommandLogs(h.desk).at(0);
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[0], "Reading sectors on track 18");
  EXPECT_EQ(log[1], "Sec:000000000011111111112");
  EXPECT_EQ(log[4].substr(0, 4 + 19), "T18:" + std::string(19, '1'));
  EXPECT_EQ(log[5], "");
  const Lines sectors = SectorLines(log);
  ASSERT_EQ(sectors.size(), 21u);
  for (int s = 0; s < 19; ++s) {
    EXPECT_EQ(sectors[s].substr(0, HeaderListing(18, s, id1, id2).size()),
              HeaderListing(18, s, id1, id2));
  }
  // The header's sync marks, then the BAM's data block behind its own sync.
  const size_t bam = kD64IdOffset - 0xA2;
  EXPECT_NE(sectors[0].find(" >> 07 " + Hex2(image[bam]) + " " + Hex2(image[bam + 1]) + " " +
                            Hex2(image[bam + 2])),
            std::string::npos)
      << sectors[0];
  EXPECT_EQ(sectors[19], SectorLine(19, "SECTOR NOT FOUND"));
  EXPECT_EQ(sectors[20], SectorLine(20, "SECTOR NOT FOUND"));
  const auto capacity =
      std::find(log.begin(), log.end(), "Nominal track capacity: 7142 @ 300.0 RPM");
  ASSERT_NE(capacity, log.end());
  EXPECT_NEAR(ActualCapacity(*(capacity + 1)), 7142, kCountSpread) << *(capacity + 1);
  EXPECT_EQ(capacity + 3, log.end()) << "no zone mismatch; only the closing line follows";
  // Zone 2 asks for 30 pages.
  EXPECT_EQ(PaneLines(h.desk.gcrPane()).size(), 30u * 16);
}

TEST_F(TrackDump, TheRawListingOfAZone3TrackMarksEveryHeader) {
  Harness h("8=1541-II+:" + tooltest::MakeDisk(folder_, "disk.d64"));
  h.desk.QueueText("1");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const Lines pane = PaneLines(h.desk.gcrPane());
  ASSERT_EQ(pane.size(), 512u);
  std::set<std::string> marked;
  for (size_t i = 0; i < pane.size(); ++i) {
    char head[16];
    std::snprintf(head, sizeof head, "$%04zX: ", i * 16);
    ASSERT_EQ(pane[i].substr(0, 7), head);
    const std::string bytes = pane[i].substr(7, 48);
    ASSERT_EQ(bytes.size(), 48u);
    // A line holding $FF $52 names the header behind it.
    const size_t mark = pane[i].find("> T: ", 55);
    const bool headerStarts =
        (bytes + (i + 1 < pane.size() ? pane[i + 1].substr(7, 2) : "")).find("FF 52") !=
        std::string::npos;
    if (mark == std::string::npos) {
      EXPECT_EQ(pane[i].size(), 55u) << pane[i];
      EXPECT_FALSE(headerStarts && bytes.find("FF 52") != std::string::npos) << pane[i];
      continue;
    }
    EXPECT_EQ(pane[i].substr(mark, 8), "> T: 01;") << pane[i];
    marked.insert(pane[i].substr(mark + 12));
  }
  // 8192 bytes hold a whole revolution of 21 sectors.
  EXPECT_EQ(marked.size(), 21u);
  EXPECT_EQ(*marked.begin(), "00");
  EXPECT_EQ(*marked.rbegin(), "20");
}

TEST_F(TrackDump, TheNumberIsReadWithSignsBasesAndBlanksAndTracksOffTheLayoutAreRefused) {
  Harness h("8=1541-II+:" + tooltest::MakeDisk(folder_, "disk.d64") + ",9=1581");
  const std::vector<std::optional<std::string>> answers = {
      "$12", "%10010", " \t+18x", "abc", "$0", "0", std::nullopt, "36", "-3", "99999999999999"};
  for (const auto& answer : answers) {
    h.desk.QueueText(answer);
    h.desk.QueueCommand(kCmdDumpTrack);
  }
  h.desk.QueueIdleEvent({EventKind::kDeviceSelected, 1});
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const std::vector<Lines> logs = CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), answers.size() + 1);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(logs[i].front(), "Reading sectors on track 18") << i;
    EXPECT_EQ(SectorLines(logs[i]).size(), 21u);
  }
  // An answer without a track, or with one the 35-track layout does not have, reads nothing
  // and the command does not end as done; a cancelled requester is no answer.
  for (size_t i = 3; i < 6; ++i) {
    EXPECT_EQ(logs[i],
              (Lines{"No track number in \"" + *answers[i] + "\" (tracks 1 to 35); nothing read",
                     "-- aborted --"}))
        << i;
  }
  EXPECT_EQ(logs[6], Lines{"-- done --"});
  EXPECT_EQ(logs[7], (Lines{"Track 36 is not on the disk layout (tracks 1 to 35); nothing read",
                            "-- aborted --"}));
  EXPECT_EQ(logs[8], (Lines{"Track -3 is not on the disk layout (tracks 1 to 35); nothing read",
                            "-- aborted --"}));
  EXPECT_EQ(logs[9].size(), 2u);
  Lines reads;
  for (const std::string& status : h.desk.statusTexts()) {
    if (status.rfind("Reading Track: ", 0) == 0) reads.push_back(status);
  }
  EXPECT_EQ(reads, Lines(3, "Reading Track: 18")) << "no other track was read";
  EXPECT_EQ(Lines(logs[10].end() - 2, logs[10].end()),
            (Lines{"NOT APPLICABLE TO 1581", "-- done --"}));
  EXPECT_EQ(h.desk.textRequests().size(), answers.size());
}

TEST_F(TrackDump, AReadThatNeverComesBackListsNothing) {
  Harness h("8=1541-II+:" + tooltest::MakeDisk(folder_, "disk.d64"));
  h.Connect();
  h.desk.QueueText("18");
  DispatchCommand(h.program, kCmdDumpTrack);
  // The drive code stops answering: the next raw read times out.
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h.bus, {"hangcode", "8"}, 0, &error)) << error;
  h.desk.QueueText("18");
  DispatchCommand(h.program, kCmdDumpTrack);
  const std::vector<Lines> logs = CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(SectorLines(logs[0]).size(), 21u);
  EXPECT_EQ(logs[1].front(), "Reading sectors on track 18");
  EXPECT_NE(std::find(logs[1].begin(), logs[1].end(), "Connection Timeout"), logs[1].end());
  EXPECT_TRUE(SectorLines(logs[1]).empty());
  EXPECT_EQ(std::count_if(logs[1].begin(), logs[1].end(),
                          [](const std::string& line) { return line.rfind("Nominal", 0) == 0; }),
            0);
  EXPECT_EQ(logs[1].back(), "-- aborted --");
  EXPECT_EQ(h.desk.gcrPane(), "");
}

TEST_F(TrackDump, ADriveOfNoKnownFamilyIsNotAsked) {
  Harness h("8=1541-II+:" + tooltest::MakeDisk(folder_, "disk.d64"));
  h.Connect();
  // The model byte did not name a drive: there is no read code for it.
  h.program.DriveFamily = kFamilyUnknown;
  h.desk.QueueText("18");
  DumpTrack(h.program);
  EXPECT_TRUE(h.desk.textRequests().empty());
  EXPECT_FALSE(h.desk.Logged("Reading sectors on track 18"));
  EXPECT_EQ(h.desk.gcrPane(), "");
}

TEST_F(TrackDump, Physical36OnA1541IsAZone0TrackOf17Sectors) {
  const std::string disk = tooltest::MakeDisk(folder_, "forty.d64", "-4");
  const std::vector<uint8_t> image = tooltest::ReadBytes(disk);
  Harness h("8=1541-II+:" + disk);
  h.desk.QueueText("36p");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const Lines log = CommandLogs(h.desk).at(0);
  EXPECT_EQ(log.front(), "Reading sectors on track 36");
  const Lines sectors = SectorLines(log);
  ASSERT_EQ(sectors.size(), 21u);
  for (int s = 0; s < 17; ++s) {
    const std::string header = HeaderListing(36, s, image[kD64IdOffset], image[kD64IdOffset + 1]);
    EXPECT_EQ(sectors[s].substr(0, header.size()), header);
  }
  for (int s = 17; s <= 20; ++s) EXPECT_EQ(sectors[s], SectorLine(s, "SECTOR NOT FOUND"));
  EXPECT_NE(std::find(log.begin(), log.end(), "Nominal track capacity: 6250 @ 300.0 RPM"),
            log.end());
  EXPECT_EQ(PaneLines(h.desk.gcrPane()).size(), 27u * 16);
  EXPECT_FALSE(h.program.FortyTracks);
}

TEST_F(TrackDump, On1571Track36IsTheSecondSideUnlessPhysicalIsAskedFor) {
  const std::string disk = tooltest::MakeDisk(folder_, "disk.d71");
  const std::vector<uint8_t> image = tooltest::ReadBytes(disk);
  Harness h("8=1571:" + disk);
  h.desk.QueueText("36");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.desk.QueueText("36P");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const std::vector<Lines> logs = CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 2u);
  const Lines second = SectorLines(logs[0]);
  ASSERT_EQ(second.size(), 21u);
  for (int s = 0; s < 21; ++s) {
    const std::string header = HeaderListing(36, s, image[kD64IdOffset], image[kD64IdOffset + 1]);
    EXPECT_EQ(second[s].substr(0, header.size()), header);
  }
  EXPECT_NE(std::find(logs[0].begin(), logs[0].end(), "Nominal track capacity: 7692 @ 300.0 RPM"),
            logs[0].end());
  // The 1571 started in 1541 mode, which reaches the first side only.
  EXPECT_EQ(logs[0][1],
            "Track 36 lies on the second side: switching the 1571 to 1571 mode (U0>M1)");
  // Track 36 of the first side was never formatted on a double-sided disk.
  EXPECT_EQ(logs[1].front(), "Reading sectors on track 36");
  EXPECT_EQ(SectorLines(logs[1])[0], SectorLine(0, "SECTOR NOT FOUND"));
  EXPECT_EQ(PaneLines(h.desk.gcrPane()).size(), 27u * 16);
}

TEST_F(TrackDump, AZone3RecordingOnTrack31IsReportedAsAZoneMismatch) {
  tooltest::MakeDisk(folder_, "disk.d64", "-g disk.g64");
  std::vector<uint8_t> g64 = tooltest::ReadBytes(folder_ / "disk.g64");
  ASSERT_GT(g64.size(), 12u);
  const size_t entries = g64[9];
  auto entry = [&g64](size_t at) {
    return g64[at] | g64[at + 1] << 8 | g64[at + 2] << 16 | static_cast<size_t>(g64[at + 3]) << 24;
  };
  // Track 1's record (7692 bytes, zone 3) copied over track 31's, with zone 3 as its speed.
  const size_t track1 = entry(12);
  const size_t track31 = entry(12 + 4 * 60);
  const size_t length = g64[track1] | g64[track1 + 1] << 8;
  ASSERT_EQ(length, 7692u);
  std::copy_n(g64.begin() + static_cast<std::ptrdiff_t>(track1), length + 2,
              g64.begin() + static_cast<std::ptrdiff_t>(track31));
  g64[12 + 4 * entries + 4 * 60] = 3;
  tooltest::WriteBytes(folder_ / "zone3.g64", g64);

  Harness h("8=1541-II+:" + folder_ / "zone3.g64");
  h.desk.QueueText("31");
  h.desk.QueueCommand(kCmdDumpTrack);
  h.Run();
  const Lines log = CommandLogs(h.desk).at(0);
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(*(log.end() - 6), "Nominal track capacity: 7692 @ 300.0 RPM");
  EXPECT_NEAR(ActualCapacity(*(log.end() - 5)), 7692, kCountSpread) << *(log.end() - 5);
  EXPECT_EQ(
      Lines(log.end() - 4, log.end()),
      (Lines{"Bitrate zone (BRZ) mismatch!", "Nominal BRZ: 0", "Track   BRZ: 3", "-- done --"}));
  // Read with the clock of zone 0, nothing of the zone 3 recording decodes.
  for (const std::string& line : SectorLines(log)) {
    EXPECT_EQ(line.substr(5), "SECTOR NOT FOUND");
  }
}

}  // namespace
}  // namespace dw
