// Restore and Fast Format on the GCR drives, end to end: the program builds whole tracks, the
// virtual drive code writes them, and reading the disk back (Create, the DOS, cc1541 and
// cbmconvert on the saved disk) shows what arrived.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "gcr_image_support.h"
#include "sim/media/gcr_disk.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr size_t kD64Data = 174848;

// Restores `image` onto the disk of drive 8, then creates a copy of the disk.
struct RestoreBench {
  RestoreBench(const std::string& model, const std::string& disk) : dir("restore") {
    h = std::make_unique<Harness>("8=" + model + ":" + disk);
  }
  void Restore(const std::string& image) {
    h->desk.QueueFile(image);
    h->desk.QueueCommand(kCmdRestoreImage);
  }
  void Create(const std::string& copy) {
    h->desk.QueueFile(copy);
    h->desk.QueueCommand(kCmdCreateImage);
  }
  int Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& line : h->desk.logTexts()) count += line.rfind(prefix, 0) == 0;
    return count;
  }

  fake::TempDir dir;
  std::unique_ptr<Harness> h;
};

struct RoundTrip {
  const char* model;
  const char* image;
  const char* options;
  bool fortyTracks;
  int tracks;
};

void PrintTo(const RoundTrip& c, std::ostream* out) {
  *out << c.model << " " << c.image;
}

class RestoreGcr : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RestoreGcr, AnImageRestoredOntoABlankDiskIsCreatedAgainByteForByte) {
  const RoundTrip c = GetParam();
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  RestoreBench bench(c.model, "blank");
  const std::string image = bench.dir / c.image;
  ASSERT_TRUE(MakeGcrImage(bench.dir, image, c.options));
  if (c.fortyTracks) bench.h->desk.QueueCommand(kCmdFortyTracks);
  bench.Restore(image);
  bench.Create(bench.dir / "copy.bin");
  bench.h->Run();
  EXPECT_TRUE(bench.h->desk.Logged("Restoring from file: \"" + std::string(c.image) + "\"; " +
                                   std::to_string(c.tracks) + " Tracks"));
  // A blank disk has nothing to lose: no question.
  EXPECT_TRUE(bench.h->desk.messages().empty());
  EXPECT_EQ(fake::ReadFile(bench.dir / "copy.bin"), fake::ReadFile(image));
  EXPECT_FALSE(bench.h->desk.Logged("-- aborted --"));
  // The 1571 starts in 1541 mode, whose drive code reaches the first side only.
  EXPECT_EQ(bench.h->desk.Logged("Double-sided image: switching the 1571 to 1571 mode (U0>M1)"),
            c.tracks == 70);
  // The listing after the restore shows the image's disk.
  ASSERT_FALSE(bench.h->desk.directory().empty());
  EXPECT_NE(bench.h->desk.directory()[0].find("GCR DISK"), std::string::npos)
      << bench.h->desk.directory()[0];
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, RestoreGcr,
                         ::testing::Values(RoundTrip{"1541-II+", "disk.d64", "", false, 35},
                                           RoundTrip{"1571", "disk.d71", "", false, 70},
                                           RoundTrip{"1541-II+", "forty.d64", "-4", true, 40}));

TEST(RestoreGcrOverData, ADiskWithFilesIsAskedForAndThenReadsBackAsTheNewOne) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir("overdata");
  // The disk in the drive: other files, another ID; its old track content outlasts the new
  // tracks where a revolution is longer than what the program writes.
  const std::string old = dir / "old.d64";
  ASSERT_TRUE(
      oracle::Run("cd " + oracle::Quoted(dir.path()) +
                  " && head -c 60000 /dev/zero | tr '\\0' 'x' > filler && cc1541 -q -n old -i "
                  "qq -f filler -w filler old.d64 > /dev/null"));
  const std::string image = dir / "new.d64";
  ASSERT_TRUE(MakeGcrImage(dir, image, ""));
  Harness h("8=1541-II+:" + old);
  // The disk is kept at the first question, given up at the second.
  h.desk.QueueMessageAnswer(MessageAnswer::kNo);
  h.desk.QueueMessageAnswer(MessageAnswer::kYes);
  for (const char* copy : {"kept.d64", "copy.d64"}) {
    h.desk.QueueFile(image);
    h.desk.QueueCommand(kCmdRestoreImage);
    h.desk.QueueFile(dir / copy);
    h.desk.QueueCommand(kCmdCreateImage);
  }
  h.Run();
  ASSERT_EQ(h.desk.messages().size(), 2u);
  const std::string question =
      "BOX Overwrite disk | Overwrite \"OLD\" (ID QQ, 1 file) in drive 8? | Yes/No | warning -> ";
  const std::vector<std::string>& shown = h.desk.transcript();
  EXPECT_NE(std::find(shown.begin(), shown.end(), question + "No"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), question + "Yes"), shown.end());
  EXPECT_EQ(h.desk.messages()[0].request.defaultButton, MessageAnswer::kNo);
  EXPECT_TRUE(h.desk.Logged("Restore canceled"));
  EXPECT_EQ(fake::ReadFile(dir / "kept.d64"), fake::ReadFile(old));
  EXPECT_EQ(fake::ReadFile(dir / "copy.d64"), fake::ReadFile(image));
  EXPECT_FALSE(h.desk.Logged("-- aborted --"));
  for (const std::string& line : h.desk.logTexts()) {
    if (line.find("<!") != std::string::npos) ADD_FAILURE() << line;
  }
}

TEST(RestoreGcrErrors, TheRecordedErrorsAreBuiltIntoTheDiskAndReadBackAsThemselves) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  RestoreBench bench("1541-II+", "blank");
  const std::string plain = bench.dir / "plain.d64";
  ASSERT_TRUE(MakeGcrImage(bench.dir, plain, ""));
  const std::vector<uint8_t> bytes = WithErrorBytes(fake::ReadFile(plain));
  const std::string image = bench.dir / "errors.d64";
  fake::WriteFile(image, bytes);
  bench.Restore(image);
  bench.h->desk.QueueCommand(kCmdImageErrors);
  bench.Create(bench.dir / "copy.d64");
  bench.h->Run();
  EXPECT_EQ(bench.Count("Creating error: "), 6);
  EXPECT_TRUE(bench.h->desk.Logged("Creating error: T20, S01> DISK ID MISMATCH/DISK CHANGE"));
  EXPECT_EQ(fake::ReadFile(bench.dir / "copy.d64"), AsReadBack(bytes));
}

TEST(RestoreGcrFaults, AProtectedDiskIsNotWrittenAndAnUnreadableFileIsTold) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  RestoreBench bench("1541-II+", "blank:wp");
  const std::string image = bench.dir / "disk.d64";
  ASSERT_TRUE(MakeGcrImage(bench.dir, image, ""));
  bench.Restore(image);
  bench.Restore(bench.dir / "missing.d64");
  bench.h->Run();
  EXPECT_TRUE(bench.h->desk.Logged("WRITE PROTECT ERROR"));
  EXPECT_EQ(bench.Count("Restoring from file"), 0);
  EXPECT_EQ(bench.Count("-- aborted --"), 1) << "the protected disk";
  std::string error;
  ASSERT_TRUE(bench.h->bus->SaveDisk(8, bench.dir / "after.g64", &error)) << error;
  // The missing file: its size does not fit any drive, so nothing is opened or written.
  ASSERT_GE(bench.h->desk.messages().size(), 1u);
  EXPECT_EQ(bench.h->desk.messages().back().request.text,
            "File size does not match drive capacity.");
}

TEST(RestoreGcrFaults, AResetOrASwitchedOffDriveStopsTheTracksAndTheCommandEndsAborted) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  for (const std::string fault : {"reset", "poweroff"}) {
    SCOPED_TRACE(fault);
    RestoreBench bench("1541-II+", "blank");
    const std::string image = bench.dir / "disk.d64";
    ASSERT_TRUE(MakeGcrImage(bench.dir, image, ""));
    // Well into the tracks: the listing of the blank disk and the set-up take a few seconds.
    if (fault == "reset") {
      bench.h->desk.ScheduleEvent(10'000'000, {EventKind::kResetButton, 0});
    } else {
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*bench.h->bus, {"poweroff", "8"}, 10'000'000, &error)) << error;
    }
    bench.Restore(image);
    bench.h->Run();
    const std::vector<std::string> log = bench.h->desk.fullLogTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "-- aborted --"), log.end());
    // Fewer tracks went down than the image has: the last ones are still unformatted.
    auto* disk = dynamic_cast<sim::GcrDisk*>(bench.h->bus->drive(8)->heldDisk());
    ASSERT_NE(disk, nullptr);
    EXPECT_TRUE(disk->TrackOnSide(0, 1).present);
    EXPECT_FALSE(disk->TrackOnSide(0, 35).present);
  }
}

// The disk of drive 8 as a D64 file, for the independent tools.
std::string SavedDisk(Harness& h, const std::string& path) {
  std::string error;
  EXPECT_TRUE(h.bus->SaveDisk(8, path, &error)) << error;
  return path;
}

TEST(FastFormat, TheNameAndIdTypedGiveAnEmptyDiskTheToolsReadAsValid) {
  if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
  fake::TempDir dir{"format"};
  Harness h("8=1571:blank");
  h.desk.QueueText("GAMES, x1 ");
  h.desk.QueueCommand(kCmdFastFormat);
  h.Run();
  EXPECT_EQ(h.desk.textRequests()[0].title, "Fast Format 35 Tracks (GCR)");
  EXPECT_EQ(h.desk.textRequests()[0].prompt, "Enter [Diskname,ID]:");
  EXPECT_TRUE(h.desk.Logged("Fast Format 35 Tracks (GCR)"));
  EXPECT_TRUE(h.desk.Logged("\"GAMES, x1 \""));
  EXPECT_EQ(h.program.DiskId[1], 'x');
  EXPECT_EQ(h.program.DiskId[2], '1');
  ASSERT_EQ(h.desk.directory().size(), 2u) << "an empty disk";
  EXPECT_NE(h.desk.directory()[0].find("GAMES"), std::string::npos);
  EXPECT_NE(h.desk.directory()[0].find("x1"), std::string::npos);
  EXPECT_EQ(h.desk.directory()[1].substr(0, 4), "664 ");
  EXPECT_EQ(h.desk.logTexts().back(), "-- done --");

  const std::string saved = SavedDisk(h, dir / "formatted.d64");
  EXPECT_EQ(fake::ReadFile(saved).size(), kD64Data) << "every sector reads well: no error bytes";
  EXPECT_EQ(oracle::BamProblems(fake::ReadFile(saved)), "");
  const std::vector<std::string> listing = oracle::Cc1541Listing(saved);
  ASSERT_FALSE(listing.empty());
  EXPECT_NE(listing.front().find("games"), std::string::npos) << listing.front();
}

TEST(FastFormat, TheDefaultTextAndTheAnswersThatDoLittleOrNothing) {
  Harness h("8=1541-II+:blank");
  h.desk.QueueText(std::nullopt);            // cancelled: nothing at all
  h.desk.QueueText(std::string("NOCOMMA"));  // no comma: nothing at all
  h.desk.QueueText(std::string(",AB"));      // no name: the tracks, but no "N:"
  for (int i = 0; i < 3; ++i) h.desk.QueueCommand(kCmdFastFormat);
  h.Run();
  ASSERT_EQ(h.desk.textRequests().size(), 3u);
  EXPECT_TRUE(
      std::regex_match(h.desk.textRequests()[0].defaultText, std::regex("DISK [0-9]{8},[A-Z]{2}")))
      << h.desk.textRequests()[0].defaultText;
  const LocalTime today = h.clock.Now();
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", today.year, today.month, today.day);
  EXPECT_EQ(h.desk.textRequests()[0].defaultText.substr(5, 8), date);
  std::vector<std::string> log = h.desk.logTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Fast Format 35 Tracks (GCR)"), 1);
  EXPECT_EQ(h.program.DiskId[1], 'A');
  EXPECT_EQ(h.program.DiskId[2], 'B');
  EXPECT_TRUE(h.desk.directory().empty()) << "no name, no listing";
  // The disk has its tracks but no directory: the DOS finds the BAM sector's mark only.
  EXPECT_EQ(log.back(), "-- done --");
}

TEST(FastFormat, A1581IsNotFormattedAndAProtectedDiskIsNotTouched) {
  Harness h81("8=1581");
  h81.desk.QueueCommand(kCmdFastFormat);
  h81.Run();
  const std::vector<std::string> log = h81.desk.logTexts();
  auto welcome = std::find(log.begin(), log.end(), "Welcome Diskwright user");
  ASSERT_NE(welcome, log.end());
  EXPECT_EQ(std::vector<std::string>(welcome + 1, log.end()),
            (std::vector<std::string>{"NOT APPLICABLE TO 1581", "-- done --"}));
  EXPECT_TRUE(h81.desk.textRequests().empty());

  Harness h("8=1541-II+:blank:wp");
  h.desk.QueueText(std::string("NAME,ID"));
  h.desk.QueueCommand(kCmdFastFormat);
  h.Run();
  EXPECT_TRUE(h.desk.Logged("WRITE PROTECT ERROR"));
  EXPECT_EQ(h.desk.logTexts().back(), "-- aborted --");
  EXPECT_TRUE(std::none_of(h.desk.statusTexts().begin(), h.desk.statusTexts().end(),
                           [](const std::string& s) { return s.rfind("Formatting", 0) == 0; }));
}

}  // namespace
}  // namespace dw
