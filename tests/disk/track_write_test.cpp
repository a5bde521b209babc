// Restore and Fast Format on drives turning anywhere from 294 to 306 rpm, over disks that held
// other files under another ID: every track is fitted to the turn the drive was timed at, so
// the drive's DOS reads the disk back whole, and nothing of the old recording survives. A write
// the disk does not take ends the command, naming the track.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "commands/restore_from_file.h"
#include "gcr_image_support.h"
#include "sim/media/gcr_disk.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

// 79 blocks: a file that crosses several tracks of two zones.
const std::vector<uint8_t> kLongFile = oracle::Noise(79 * 254 - 100, 79);

#define DW_REQUIRE_CC1541() \
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed"

struct WriteBench {
  // `drive`: model and speed as the bus takes them ("1541-II+@294rpm"); `disk`: "old" for a
  // disk full of other files under the ID "qq", "blank" for an unformatted one.
  WriteBench(const std::string& name, const std::string& drive, const std::string& disk)
      : dir(name) {
    made = oracle::Run("cd " + oracle::Quoted(dir.path()) +
                       " && head -c 60000 /dev/zero | tr '\\0' 'x' > filler"
                       " && cc1541 -q -n 'old disk' -i 'qq' -f one -w filler -f two -w filler"
                       " old.d64 > /dev/null");
    fake::WriteFile(dir / "long", kLongFile);
    fake::WriteFile(dir / "short", oracle::Noise(300, 3));
    made = made && oracle::Run("cd " + oracle::Quoted(dir.path()) +
                               " && cc1541 -q -n 'new disk' -i 'ab' -f long -w long -f short -w "
                               "short -g new.g64 new.d64 > /dev/null");
    const std::string inserted = disk == "old" && made ? oldDisk : "blank";
    h = std::make_unique<Harness>("8=" + drive + ":" + inserted);
    h->desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  }
  void Restore(const std::string& file) {
    h->desk.QueueFile(file);
    h->desk.QueueCommand(kCmdRestoreImage);
  }
  void Create(const std::string& file) {
    h->desk.QueueFile(file);
    h->desk.QueueCommand(kCmdCreateImage);
  }
  // A double-click on line `line` of the listing shown, saving the file as `file`.
  void Download(int line, const std::string& file) {
    h->desk.QueueIdleEvent({EventKind::kDirectoryDoubleClick, line});
    h->desk.QueueFile(file, 1);
  }
  void Fault(const std::vector<std::string>& words, int64_t atUs) {
    std::string error;
    ASSERT_TRUE(ApplyBusFault(*h->bus, words, atUs, &error)) << error;
  }
  Lines Endings() const {
    Lines endings;
    for (const std::string& line : h->desk.fullLogTexts()) {
      if (line.rfind("-- ", 0) == 0) endings.push_back(line);
    }
    return endings;
  }
  // Lines starting with `prefix`.
  Lines Starting(const std::string& prefix) const {
    Lines found;
    for (const std::string& line : h->desk.fullLogTexts()) {
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    }
    return found;
  }
  sim::GcrDisk& Disk() const { return *dynamic_cast<sim::GcrDisk*>(h->bus->drive(8)->heldDisk()); }

  fake::TempDir dir;
  std::string oldDisk = dir / "old.d64";
  std::string image = dir / "new.d64";
  std::string g64 = dir / "new.g64";
  bool made = false;
  std::unique_ptr<Harness> h;
};

class WriteAtDriveSpeed : public ::testing::TestWithParam<const char*> {};

TEST_P(WriteAtDriveSpeed, ARestoreOverAnotherDiskIsReadBackWholeByTheDosAndByCreate) {
  DW_REQUIRE_CC1541();
  WriteBench bench("restorespeed", std::string("1541-II+@") + GetParam(), "old");
  ASSERT_TRUE(bench.made);
  bench.Restore(bench.image);
  bench.Download(1, bench.dir / "long.prg");
  bench.Create(bench.dir / "copy.d64");
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), (Lines{"-- done --", "-- done --", "-- done --"}));
  EXPECT_EQ(bench.Starting("Drive speed for writing: ").size(), 1u);
  // At the top of the band the gaps leave no room for drift, and the user is told.
  EXPECT_EQ(bench.Starting("Warning: ").size(), std::string(GetParam()) == "306rpm" ? 1u : 0u);
  // The DOS meets no header of the old recording (with its ID "qq") anywhere.
  EXPECT_TRUE(bench.Starting("29,").empty());
  ASSERT_FALSE(bench.h->desk.directory().empty());
  EXPECT_NE(bench.h->desk.directory()[0].find("NEW DISK"), std::string::npos);
  EXPECT_EQ(fake::ReadFile(bench.dir / "long.prg"), kLongFile);
  EXPECT_EQ(fake::ReadFile(bench.dir / "copy.d64"), fake::ReadFile(bench.image));
}

TEST_P(WriteAtDriveSpeed, AFastFormatOverAnotherDiskTakesAProgramThatComesBackWhole) {
  DW_REQUIRE_CC1541();
  WriteBench bench("formatspeed", std::string("1541-II+@") + GetParam(), "old");
  ASSERT_TRUE(bench.made);
  fake::WriteFile(bench.dir / "long.prg", kLongFile);
  bench.h->desk.QueueText(std::string("FRESH,FD"));
  bench.h->desk.QueueCommand(kCmdFastFormat);
  bench.Restore(bench.dir / "long.prg");
  bench.Download(1, bench.dir / "back.prg");
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), (Lines{"-- done --", "-- done --", "-- done --"}));
  const Lines listing = bench.h->desk.directory();
  ASSERT_EQ(listing.size(), 3u);
  EXPECT_NE(listing[0].find("FRESH"), std::string::npos) << listing[0];
  EXPECT_NE(listing[0].find("FD"), std::string::npos) << listing[0];
  EXPECT_EQ(listing[1].rfind("79 ", 0), 0u) << listing[1];
  EXPECT_EQ(listing[2].rfind("585 ", 0), 0u) << listing[2];
  EXPECT_EQ(fake::ReadFile(bench.dir / "back.prg"), kLongFile);
}

// The last: a speed that swings 0.25 % either way while the tracks go down, measured at one
// moment of the swing and written at all the others.
INSTANTIATE_TEST_SUITE_P(AcrossTheBand, WriteAtDriveSpeed,
                         ::testing::Values("294rpm", "300rpm", "306rpm", "300rpm~0.25/3s"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                               '_');
                           return name;
                         });

TEST(WriteTooFast, ADriveAbove306RpmIsRefusedBeforeATrackIsWritten) {
  DW_REQUIRE_CC1541();
  WriteBench bench("toofast", "1541-II+@307rpm", "old");
  ASSERT_TRUE(bench.made);
  bench.Restore(bench.image);
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), Lines{"-- aborted --"});
  EXPECT_EQ(bench.Starting("The drive turns too fast"),
            Lines{"The drive turns too fast to write whole tracks: 307.0 RPM, at most 306.1 RPM "
                  "fits them (slow it down with RPM adjust)"});
  std::string error;
  ASSERT_TRUE(bench.h->bus->SaveDisk(8, bench.dir / "after.d64", &error)) << error;
  EXPECT_EQ(fake::ReadFile(bench.dir / "after.d64"), fake::ReadFile(bench.oldDisk));
}

// Whole tracks recorded without a single readable header (as damaged and protected disks have
// them) are restored as they are: the check after each track expects what the track carries.
TEST(WriteRecordedErrors, TracksWithoutAGoodHeaderAreWrittenAndReadBackAsRecorded) {
  DW_REQUIRE_CC1541();
  WriteBench bench("wholetracks", "1541-II+", "blank");
  ASSERT_TRUE(bench.made);
  std::vector<uint8_t> bytes = fake::ReadFile(bench.image);
  bytes.resize(174848 + 683, 1);
  // Tracks 26 to 29 (zone 1, 18 sectors each): header not found, no sync, header checksum,
  // another ID, in every sector.
  const uint8_t codes[] = {2, 3, 9, 11};
  for (int t = 0; t < 4; ++t) {
    for (int s = 0; s < 18; ++s) bytes[174848 + SectorIndex(26 + t, s)] = codes[t];
  }
  fake::WriteFile(bench.dir / "errors.d64", bytes);
  bench.Restore(bench.dir / "errors.d64");
  bench.h->desk.QueueCommand(kCmdImageErrors);
  bench.Create(bench.dir / "copy.d64");
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), (Lines{"-- done --", "-- done --", "-- done --"}));
  EXPECT_TRUE(bench.Starting("Track ").empty());
  const std::vector<uint8_t> copy = fake::ReadFile(bench.dir / "copy.d64");
  ASSERT_EQ(copy.size(), bytes.size());
  EXPECT_TRUE(std::equal(copy.begin() + 174848, copy.end(), bytes.begin() + 174848));
}

struct WriteFault {
  const char* command;  // "d64", "g64" or "format"
  const char* fault;    // a bus fault on drive 8
  const char* why;      // how the failing track is told
};

void PrintTo(const WriteFault& c, std::ostream* out) {
  *out << c.command << " " << c.fault;
}

class WriteFaults : public ::testing::TestWithParam<WriteFault> {};

// A 1541 tells a protected disk by its write job's answer; a disk taken out or a motor that
// stopped only by the check after the track.
TEST_P(WriteFaults, AWriteTheDiskDoesNotTakeEndsTheCommandAbortedNamingTheTrack) {
  DW_REQUIRE_CC1541();
  const WriteFault c = GetParam();
  WriteBench bench(std::string("fault-") + c.command, "1541-II+", "blank");
  ASSERT_TRUE(bench.made);
  const std::string command = c.command;
  if (command == "format") {
    bench.h->desk.QueueText(std::string("FRESH,FD"));
    bench.h->desk.QueueCommand(kCmdFastFormat);
  } else {
    bench.Restore(command == "g64" ? bench.g64 : bench.image);
  }
  // Some tracks into the writing.
  bench.Fault({c.fault, "8"}, 9'000'000);
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), Lines{"-- aborted --"});
  const Lines failed = bench.Starting("Track ");
  ASSERT_EQ(failed.size(), 1u);
  const int track = std::stoi(failed[0].substr(6));
  EXPECT_GT(track, 1);
  EXPECT_LT(track, 35);
  EXPECT_EQ(failed[0], "Track " + std::to_string(track) + " not written: " + c.why);
  // Nothing after the failing track was written, and a format names no disk.
  EXPECT_FALSE(bench.Disk().TrackOnSide(0, track + 1).present);
  EXPECT_TRUE(bench.h->desk.directory().empty());
}

INSTANTIATE_TEST_SUITE_P(
    MidWrite, WriteFaults,
    ::testing::Values(WriteFault{"d64", "protect", "WRITE PROTECT ERROR"},
                      WriteFault{"d64", "eject", "the drive reads back NO SYNC"},
                      WriteFault{"d64", "motorstop", "the drive reads back NO SYNC"},
                      WriteFault{"g64", "protect", "WRITE PROTECT ERROR"},
                      WriteFault{"g64", "eject", "the drive reads back NO SYNC"},
                      WriteFault{"g64", "motorstop", "the drive reads back NO SYNC"},
                      WriteFault{"format", "protect", "WRITE PROTECT ERROR"},
                      WriteFault{"format", "eject", "the drive reads back NO SYNC"},
                      WriteFault{"format", "motorstop", "the drive reads back NO SYNC"}));

// The disk is named once its tracks are written: a RESET, or a reply that never comes, while
// the drive names it leaves it unnamed, and the format must not end as done.
TEST(FastFormatNaming, AResetOrALostReplyWhileTheDiskIsNamedEndsTheFormatAborted) {
  DW_REQUIRE_CC1541();
  // A first run tells when the naming goes on: after the last track, before the drive's
  // answer to "N:" is read (the first status cleared after the last track's).
  WriteBench first("naming", "1541-II+", "old");
  ASSERT_TRUE(first.made);
  first.h->desk.QueueText(std::string("FRESH,FD"));
  first.h->desk.QueueCommand(kCmdFastFormat);
  first.h->Run();
  const Lines& statuses = first.h->desk.statusTexts();
  const auto last = std::find(statuses.begin(), statuses.end(), "Formatting Track: 35");
  const auto answer = std::find(last, statuses.end(), "");
  ASSERT_NE(answer, statuses.end());
  // Inside the wait for the drive, which names the disk in a few revolutions.
  const int64_t naming = first.h->desk.statusTimesUs()[answer - statuses.begin()] - 200'000;

  for (const std::string fault : {"reset", "silent"}) {
    SCOPED_TRACE(fault);
    WriteBench bench("naming-" + fault, "1541-II+", "old");
    ASSERT_TRUE(bench.made);
    bench.h->desk.QueueText(std::string("FRESH,FD"));
    bench.h->desk.QueueCommand(kCmdFastFormat);
    if (fault == "reset") {
      bench.h->desk.ScheduleEvent(naming, {EventKind::kResetButton, 0});
    } else {
      bench.Fault({fault}, naming);
    }
    bench.h->Run();
    EXPECT_EQ(bench.Endings(), Lines{"-- aborted --"});
    EXPECT_TRUE(bench.h->desk.directory().empty());
  }
}

TEST(FastFormatAnswers, AnAnswerACutWouldChangeOrWithoutAnIdIsRefusedAndNothingIsWritten) {
  WriteBench bench("answers", "1541-II+", "blank");
  const char* refused[] = {"SEVENTEEN CHARS X,XX", "NAME,", "NAME,   "};
  for (const char* answer : refused) {
    bench.h->desk.QueueText(std::string(answer));
    bench.h->desk.QueueCommand(kCmdFastFormat);
  }
  bench.h->Run();
  EXPECT_EQ(bench.Endings(), Lines(3, "-- aborted --"));
  const std::string form =
      "; enter NAME,ID: a name of up to 16 characters, a comma and an ID of 2, 19 at most";
  EXPECT_EQ(bench.Starting("Not formatted: "),
            (Lines{"Not formatted: \"SEVENTEEN CHARS X,XX\" is longer than 19 characters" + form,
                   "Not formatted: \"NAME,\" has no ID after the comma" + form,
                   "Not formatted: \"NAME,   \" has no ID after the comma" + form}));
  EXPECT_TRUE(bench.Starting("Fast Format").empty());
  EXPECT_FALSE(bench.Disk().TrackOnSide(0, 1).present);
}

// Answered "No" (no format first), a restore over a disk full of other files writes every track
// of the image, those of zeros too: nothing of the old files is left.
TEST(Restore1581WithoutFormat, OverAFullDiskTheDiskVerifiesAgainstTheImage) {
  DW_REQUIRE_CC1541();
  fake::TempDir dir("d81full");
  ASSERT_TRUE(oracle::Run("cd " + oracle::Quoted(dir.path()) +
                          " && head -c 260000 /dev/zero | tr '\\0' 'x' > filler"
                          " && cc1541 -q -n 'full disk' -i 'fu' -f one -w filler -f two -w filler"
                          " -f three -w filler full.d81 > /dev/null"));
  const std::string image = dir / "new.d81";
  ASSERT_TRUE(oracle::MakeImage(dir, image, {{"small", oracle::Noise(3000, 8)}}));
  Harness h("8=1581:" + (dir / "full.d81"));
  h.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  h.desk.QueueMessageAnswer(MessageAnswer::kNo);
  h.desk.QueueFile(image);
  h.desk.QueueCommand(kCmdRestoreImage);
  h.desk.QueueFile(image);
  h.desk.QueueCommand(kCmdVerifyImage);
  h.Run();
  EXPECT_TRUE(h.desk.Logged("Tracks restored: 80"));
  EXPECT_TRUE(h.desk.Logged("Verify OK"));
  EXPECT_FALSE(h.desk.Logged("-- aborted --"));
}

}  // namespace
}  // namespace dw
