// Restoring G64 files from the Restore command onto virtual 1541 drives. cc1541 makes the disk
// twice from the same files: as a D64 (the oracle) and as a G64 (what is restored).

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "commands/restore_from_file.h"
#include "tool_test_support.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;
using tooltest::CommandLogs;

// A G64's tracks by half-track entry (0 = track 1): speed entry and raw bytes.
struct G64Track {
  uint32_t speed = 0;
  std::vector<uint8_t> bytes;
};
using G64Tracks = std::map<size_t, G64Track>;

uint32_t Little(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<size_t>(i)];
  return value;
}

void PutLittle(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

G64Tracks TracksOf(const std::vector<uint8_t>& g64) {
  G64Tracks tracks;
  const size_t entries = g64[9];
  for (size_t entry = 0; entry < entries; ++entry) {
    const uint32_t offset = Little(g64, 12 + 4 * entry, 4);
    if (offset == 0) continue;
    const uint32_t length = Little(g64, offset, 2);
    tracks[entry] = {
        Little(g64, 12 + 4 * (entries + entry), 4),
        std::vector<uint8_t>(g64.begin() + offset + 2, g64.begin() + offset + 2 + length)};
  }
  return tracks;
}

// A G64 file with `entries` entries holding the tracks, each in a record of its own length.
std::vector<uint8_t> G64File(size_t entries, const G64Tracks& tracks) {
  std::vector<uint8_t> g64(12 + 8 * entries, 0);
  std::copy_n("GCR-1541", 8, g64.begin());
  g64[9] = static_cast<uint8_t>(entries);
  size_t largest = 0;
  for (const auto& [entry, track] : tracks) {
    PutLittle(g64, 12 + 4 * entry, static_cast<uint32_t>(g64.size()), 4);
    PutLittle(g64, 12 + 4 * (entries + entry), track.speed, 4);
    const size_t record = g64.size();
    g64.resize(record + 2 + track.bytes.size());
    PutLittle(g64, record, static_cast<uint32_t>(track.bytes.size()), 2);
    std::copy(track.bytes.begin(), track.bytes.end(),
              g64.begin() + static_cast<std::ptrdiff_t>(record + 2));
    largest = std::max(largest, track.bytes.size());
  }
  PutLittle(g64, 10, static_cast<uint32_t>(largest), 2);
  return g64;
}

std::string TrackLine(int track, uint32_t offset, int length, double trackRpm, int zone,
                      int written, double driveRpm) {
  char text[96];
  std::snprintf(text, sizeof text, "%02d     %06X%6X%8.1f%5d%12X%12.1f", track, offset, length,
                trackRpm, zone, written, driveRpm);
  return text;
}

std::string NotRestored(int track, const std::string& why) {
  char head[8];
  std::snprintf(head, sizeof head, "%02d", track);
  return head + std::string("  not restored; ") + why;
}

std::string ZeroByteLine(int track, uint32_t position) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", position);
  return NotRestored(track, std::string("'00'-byte found @file: $") + hex);
}

constexpr const char* kColumns = "track  offset   cap     RPM   BR   drive cap   drive RPM";

class G64Restore : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
    d64_ = tooltest::MakeDisk(folder_, "disk.d64", "-g disk.g64");
    g64_ = tooltest::ReadBytes(folder_ / "disk.g64");
    ASSERT_EQ(g64_.size() > 12 ? g64_[9] : 0, 70) << "cc1541 writes 70 entries";
    // The disk in the drive before the restore: other files, another ID.
    old_ = folder_ / "old.d64";
    const std::string command =
        "cd '" + folder_.path() +
        "' && cc1541 -q -n old -i 'ol 2a' -f a -w file0 old.d64 > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  // Restores the file onto a 1541-II turning at `speed` ("@294rpm") with the old disk, after a
  // steady RPM check when asked; then, when `created` is given, creates an image of the disk.
  std::vector<Lines> Restore(const std::string& file, const std::string& speed = "",
                             const std::string& created = "", bool rpmFirst = false) {
    Harness h("8=1541-II+" + speed + ":" + old_ + (rpmFirst ? ":steady" : ""));
    h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
    if (rpmFirst) h.desk.QueueCommand(kCmdRpmCheck);
    h.desk.QueueFile(file);
    h.desk.QueueCommand(kCmdRestoreImage);
    if (!created.empty()) {
      h.desk.QueueFile(created);
      h.desk.QueueCommand(kCmdCreateImage);
    }
    h.Run();
    statusTexts_ = h.desk.statusTexts();
    return CommandLogs(h.desk);
  }

  // The restore's own lines: from "Restoring file" (or the first line of the G64 restore) on.
  static Lines RestoreLines(const Lines& log, const std::string& first) {
    auto begin = std::find(log.begin(), log.end(), first);
    auto end = std::find_if(begin, log.end(), [](const std::string& line) {
      return line.rfind("Sec:", 0) == 0 || line == "-- done --" || line == "-- aborted --";
    });
    return Lines(begin, end);
  }

  int WrittenTracks() const {
    return static_cast<int>(
        std::count_if(statusTexts_.begin(), statusTexts_.end(),
                      [](const std::string& s) { return s.rfind("Writing Track: ", 0) == 0; }));
  }

  TempFolder folder_{"g64"};
  std::string d64_;
  std::string old_;
  std::vector<uint8_t> g64_;
  Lines statusTexts_;
};

TEST_F(G64Restore, SeventyAndEightyFourEntriesBothGiveTheDiskCc1541Made) {
  const G64Tracks tracks = TracksOf(g64_);
  ASSERT_EQ(tracks.size(), 35u);
  const std::vector<uint8_t> wide = G64File(84, tracks);
  tooltest::WriteBytes(folder_ / "wide.g64", wide);
  const std::vector<uint8_t> expected = tooltest::ReadBytes(d64_);

  for (const auto& [name, file] :
       {std::pair<std::string, std::vector<uint8_t>>{"disk.g64", g64_}, {"wide.g64", wide}}) {
    SCOPED_TRACE(name);
    const std::string created = folder_ / ("copy-of-" + name + ".d64");
    const std::vector<Lines> logs = Restore(folder_ / name, "", created);
    ASSERT_EQ(logs.size(), 2u);
    const Lines lines = RestoreLines(logs[0], "Restoring file: \"" + name + "\"");
    ASSERT_EQ(lines.size(), 4u + 2u + 40u);
    EXPECT_EQ(lines[1], "G64 version: 0");
    EXPECT_EQ(lines[2], "G64 tracks: " + std::to_string(file[9]));
    EXPECT_EQ(lines[3], "G64 track size max.: $1E0C");
    EXPECT_EQ(lines[4], kColumns);
    EXPECT_EQ(lines[5], std::string(56, '='));
    const int capacities[] = {7692, 7142, 6666, 6250};
    for (int t = 1; t <= 35; ++t) {
      const int zone = t <= 17 ? 3 : t <= 24 ? 2 : t <= 30 ? 1 : 0;
      const uint32_t offset = Little(file, 12 + 8 * static_cast<size_t>(t - 1), 4);
      EXPECT_EQ(lines[5 + static_cast<size_t>(t)], TrackLine(t, offset, capacities[3 - zone], 300.0,
                                                             zone, capacities[3 - zone], 300.0));
    }
    for (int t = 36; t <= 40; ++t) {
      EXPECT_EQ(lines[5 + static_cast<size_t>(t)], NotRestored(t, "no such track in the image"));
    }
    EXPECT_EQ(WrittenTracks(), 35);
    EXPECT_TRUE(tooltest::ReadBytes(created) == expected) << "the created image is cc1541's D64";
  }
}

TEST_F(G64Restore, FilesThatAreNoG64ImageAreRefusedBeforeAnythingIsWritten) {
  std::vector<uint8_t> lower = g64_;
  lower[0] = 'g';
  std::vector<uint8_t> tooMany = g64_;
  tooMany[9] = 200;
  std::vector<uint8_t> cut(g64_.begin(), g64_.begin() + 12 + 70 * 4 + 10);
  // No track at all, or only a half-track, which is never written.
  const std::vector<uint8_t> halfTrack = G64File(84, {{1, TracksOf(g64_).at(0)}});
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"lower.g64", lower},     {"many.g64", tooMany},         {"cut.g64", cut},
      {"tiny.g64", {'G', 'C'}}, {"none.g64", G64File(84, {})}, {"half.g64", halfTrack}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    tooltest::WriteBytes(folder_ / name, bytes);
    const std::vector<Lines> logs = Restore(folder_ / name);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(std::find(logs[0].begin(), logs[0].end(), "G64 image not valid"), logs[0].end());
    EXPECT_EQ(logs[0].back(), "-- aborted --");
    EXPECT_EQ(std::find(logs[0].begin(), logs[0].end(), std::string(kColumns)), logs[0].end());
    EXPECT_EQ(WrittenTracks(), 0);
  }
  // A write-protected disk is refused before the file is read.
  tooltest::WriteBytes(folder_ / "good.g64", g64_);
  Harness h("8=1541-II+:" + old_ + ":wp");
  h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  h.desk.QueueFile(folder_ / "good.g64");
  h.desk.QueueCommand(kCmdRestoreImage);
  h.Run();
  EXPECT_TRUE(h.desk.Logged("WRITE PROTECT ERROR"));
  EXPECT_FALSE(h.desk.Logged("Restoring file: \"good.g64\""));
}

TEST_F(G64Restore, TracksThatCannotBeWrittenAreSkippedWithTheirReason) {
  G64Tracks tracks = TracksOf(g64_);
  // Track 2 has a $00 byte at position 100 of its data; track 5 points to a speed map.
  tracks[2].bytes[100] = 0x00;
  tracks[8].speed = 7;
  const std::vector<uint8_t> file = G64File(84, tracks);
  tooltest::WriteBytes(folder_ / "odd.g64", file);
  const Lines lines =
      RestoreLines(Restore(folder_ / "odd.g64").at(0), "Restoring file: \"odd.g64\"");
  ASSERT_EQ(lines.size(), 46u);
  const uint32_t track2 = Little(file, 12 + 8, 4);
  EXPECT_EQ(lines[7], ZeroByteLine(2, track2 + 2 + 101));
  EXPECT_EQ(lines[10], NotRestored(5, "speed entry $7 is a speed map, not a zone"));
  EXPECT_EQ(lines[9].substr(0, 2), "04");
  EXPECT_EQ(lines[11].substr(0, 2), "06");
  EXPECT_EQ(WrittenTracks(), 33);
}

TEST_F(G64Restore, TracksBeyondTheEndOfTheFileAreNeverWritten) {
  G64Tracks tracks = TracksOf(g64_);
  tracks.erase(tracks.begin(), tracks.find(66));  // tracks 34 and 35 only
  std::vector<uint8_t> file = G64File(84, tracks);
  // Track 34 points past the end; track 35's bytes end 10 bytes too early.
  PutLittle(file, 12 + 4 * 66, static_cast<uint32_t>(file.size() + 100), 4);
  file.resize(file.size() - 10);
  tooltest::WriteBytes(folder_ / "short.g64", file);
  const Lines lines =
      RestoreLines(Restore(folder_ / "short.g64").at(0), "Restoring file: \"short.g64\"");
  ASSERT_EQ(lines.size(), 47u);
  EXPECT_EQ(lines[39], "Error: File access beyond EOF!");
  EXPECT_EQ(lines[40], NotRestored(34, "track beyond the end of the file"));
  EXPECT_EQ(lines[41], NotRestored(35, "track beyond the end of the file"));
  EXPECT_EQ(WrittenTracks(), 0);
}

TEST_F(G64Restore, ADriveThatDoesNotAnswerIsNoWriteProtectedDisk) {
  tooltest::WriteBytes(folder_ / "disk.g64", g64_);
  Harness h("8=1541-II+:" + old_);
  h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  h.Connect();
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h.bus, {"hangcode", "8"}, 0, &error)) << error;
  h.desk.QueueFile(folder_ / "disk.g64");
  h.desk.QueueCommand(kCmdRestoreImage);
  h.Run();
  EXPECT_TRUE(h.desk.Logged("Connection Timeout"));
  EXPECT_FALSE(h.desk.Logged("WRITE PROTECT ERROR"));
  EXPECT_FALSE(h.desk.Logged("Restoring file: \"disk.g64\""));
  EXPECT_TRUE(h.desk.Logged("-- aborted --"));
}

// A track longer than the drive's turn would run over its own first sectors: it gives up gap
// bytes to fit the turn less the drive's drift. A track with no gap to give is cut to the turn.
TEST_F(G64Restore, ALongTrackGivesUpGapBytesToFitOneTurnOfTheDrive) {
  G64Tracks tracks = TracksOf(g64_);
  tracks[0].bytes.resize(7700, 0x55);
  tracks[70] = {0, std::vector<uint8_t>(12000, 0x55)};  // track 36
  const std::vector<uint8_t> file = G64File(84, tracks);
  tooltest::WriteBytes(folder_ / "long.g64", file);
  const uint32_t offset = Little(file, 12, 4);
  const double trackRpm = 4000000.0 / 13 / 8 * 60 / 7700;

  const std::string created = folder_ / "long.d64";
  const std::vector<Lines> at300 = Restore(folder_ / "long.g64", "", created);
  ASSERT_EQ(at300.size(), 2u);
  const Lines lines = RestoreLines(at300[0], "Restoring file: \"long.g64\"");
  ASSERT_GT(lines.size(), 41u);
  EXPECT_EQ(lines[3], "G64 track size max.: $2EE0");
  EXPECT_EQ(lines[6].substr(0, 32), TrackLine(1, offset, 7700, trackRpm, 3, 0, 0).substr(0, 32));
  const int written = std::stoi(lines[6].substr(32, 12), nullptr, 16);
  EXPECT_LE(written, 7692 * 995 / 1000);
  EXPECT_GE(written, 7692 * 994 / 1000);
  // One turn at zone 0 holds 6250 bytes; the write may run 3 bytes over its own start.
  EXPECT_EQ(lines[41].substr(0, 2) + lines[41].substr(15, 4), "362EE0");
  const int cut = std::stoi(lines[41].substr(32, 12), nullptr, 16);
  EXPECT_LE(cut, 6253);
  EXPECT_GE(cut, 6245);
  EXPECT_TRUE(tooltest::ReadBytes(created) == tooltest::ReadBytes(d64_))
      << "track 1 keeps every sector";

  // After an RPM check that measured 294 rpm a turn holds 7849 bytes: all 7700 are written.
  const std::vector<Lines> logs = Restore(folder_ / "long.g64", "@294rpm", "", true);
  ASSERT_EQ(logs.size(), 2u);
  const Lines at294 = RestoreLines(logs[1], "Restoring file: \"long.g64\"");
  ASSERT_GT(at294.size(), 6u);
  EXPECT_EQ(at294[6], TrackLine(1, offset, 7700, trackRpm, 3, 7700, 294.0));
}

// With verify after writing, each track's sectors as the G64 holds them are what the disk must
// give back: a data block the G64 itself holds damaged passes when it reads back damaged the
// same way, while one the drive lays down wrong (the bus's badwrite) is caught.
TEST_F(G64Restore, VerifyAfterWritingPassesTheG64sOwnDamageAndCatchesTheDrives) {
  G64Tracks tracks = TracksOf(g64_);
  // Track 10's first data block (behind the second sync), one GCR byte in the middle changed.
  std::vector<uint8_t>& raw = tracks.at(18).bytes;
  size_t syncs = 0;
  size_t at = 1;
  for (; at < raw.size() && syncs < 2; ++at) syncs += raw[at - 1] == 0xFF && raw[at] != 0xFF;
  ASSERT_EQ(syncs, 2u);
  raw[at + 100] ^= 0x10;
  tooltest::WriteBytes(folder_ / "damaged.g64", G64File(84, tracks));
  for (const std::string fault : {"", "21"}) {
    SCOPED_TRACE(fault);
    Harness h("8=1541-II+:" + old_);
    if (!fault.empty()) {
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*h.bus, {"badwrite", "8", fault, "2"}, 0, &error)) << error;
    }
    h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
    h.desk.QueueCommand(kCmdVerifyWrites);
    h.desk.QueueFile(folder_ / "damaged.g64");
    h.desk.QueueCommand(kCmdRestoreImage);
    if (fault.empty()) {
      h.desk.QueueFile(folder_ / "copy.d64");
      h.desk.QueueCommand(kCmdCreateImage);
    }
    h.Run();
    EXPECT_TRUE(h.desk.Logged("Verify after writing: on"));
    if (fault.empty()) {
      EXPECT_TRUE(
          h.desk.Logged("Verify after writing: 683 sectors on 35 tracks read back as written"));
      const std::vector<Lines> logs = CommandLogs(h.desk);
      ASSERT_EQ(logs.size(), 3u);
      EXPECT_EQ(logs[1].back(), "-- done --");
      // The copy shows the damage the G64 brought.
      EXPECT_NE(std::find_if(logs[2].begin(), logs[2].end(),
                             [](const std::string& line) { return line.rfind("T10:5", 0) == 0; }),
                logs[2].end());
    } else {
      EXPECT_TRUE(h.desk.Logged(
          "Verify after writing: Track 21, Sector 2: read with code 5, written with 1"));
      EXPECT_TRUE(h.desk.Logged("Verify after writing: 1 sector differs on 1 track"));
      EXPECT_EQ(h.desk.logTexts().back(), "-- aborted --");
    }
  }
}

}  // namespace
}  // namespace dw
