// Restoring D81 images onto a virtual 1581 with burst writes, with and without the burst
// format, read back with Create; cc1541 makes the images.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/restore_from_file.h"
#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr size_t kTrackBytes = 10240;

int NonZeroTracks(const std::vector<uint8_t>& image) {
  int count = 0;
  for (size_t track = 0; track < 80; ++track) {
    const auto begin = image.begin() + static_cast<long>(track * kTrackBytes);
    count += std::any_of(begin, begin + kTrackBytes, [](uint8_t b) { return b != 0; });
  }
  return count;
}

class Restore1581 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
    image_ = dir_ / "disk.d81";
    ASSERT_TRUE(oracle::MakeImage(
        dir_, image_,
        {{"first", oracle::Noise(40000, 1)}, {"second", oracle::Noise(254 * 90 + 1, 2)}}));
    bytes_ = fake::ReadFile(image_);
  }
  // Restores the image onto the disk described, answering the format question, then creates
  // a copy of the disk.
  Harness& Run(const std::string& disk, MessageAnswer format) {
    h_ = std::make_unique<Harness>("8=1581:" + disk);
    h_->desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
    h_->desk.QueueFile(image_);
    h_->desk.QueueFile(dir_ / "copy.d81");
    h_->desk.QueueMessageAnswer(format);
    h_->desk.QueueCommand(kCmdRestoreImage);
    h_->desk.QueueCommand(kCmdCreateImage);
    h_->Run();
    return *h_;
  }

  fake::TempDir dir_{"restore81"};
  std::string image_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<Harness> h_;
};

TEST_F(Restore1581, AFormattedBlankDiskTakesEveryTrackAndReadsBackAsTheImage) {
  Harness& h = Run("blank", MessageAnswer::kYes);
  ASSERT_FALSE(h.desk.messages().empty());
  EXPECT_EQ(h.desk.messages()[0].request.caption, "Resore Image");
  EXPECT_EQ(h.desk.messages()[0].request.text, "Format DISK ?");
  EXPECT_EQ(h.desk.messages()[0].request.buttons, MessageButtons::kYesNoCancel);
  EXPECT_TRUE(h.desk.Logged("Formatting 80 tracks"));
  EXPECT_TRUE(h.desk.Logged("Restoring from file: \"disk.d81\""));
  ASSERT_LT(NonZeroTracks(bytes_), 80) << "the image has tracks of zeros";
  // The drive's format fills its sectors with a pattern of its own: tracks of zeros are
  // written too.
  EXPECT_TRUE(h.desk.Logged("Tracks restored: 80"));
  EXPECT_TRUE(h.desk.Logged("Restored 80 tracks onto drive 8"));
  EXPECT_EQ(fake::ReadFile(dir_ / "copy.d81"), bytes_);
  EXPECT_TRUE(h.desk.Logged("Saved copy.d81: 3200 sectors, no errors"));
  EXPECT_FALSE(h.desk.Logged("-- aborted --"));

  // While the drive formats, silent for about a minute, the status bar counts the seconds, one
  // text a second, the progress bar with them.
  const std::vector<std::string>& texts = h.desk.statusTexts();
  const std::vector<int64_t>& times = h.desk.statusTimesUs();
  const auto first =
      std::find(texts.begin(), texts.end(), "Formatting 80 tracks: 0:00 of about 1:04");
  ASSERT_NE(first, texts.end());
  const size_t at = static_cast<size_t>(first - texts.begin());
  ASSERT_GT(texts.size(), at + 40);
  EXPECT_EQ(texts[at + 30], "Formatting 80 tracks: 0:30 of about 1:04");
  EXPECT_NEAR(static_cast<double>(times[at + 30] - times[at]), 30e6, 10e3);
}

TEST_F(Restore1581, WithoutTheFormatAFormattedDiskTakesTheImageAndABlankOneStopsAtTheFirstTrack) {
  // A formatted disk of its own (another D81), not formatted again.
  const std::string other = dir_ / "other.d81";
  ASSERT_TRUE(oracle::MakeImage(dir_, other, {{"old", oracle::Noise(3000, 9)}}));
  Harness& h = Run(other, MessageAnswer::kNo);
  EXPECT_FALSE(h.desk.Logged("Formatting 80 tracks"));
  EXPECT_EQ(fake::ReadFile(dir_ / "copy.d81"), bytes_);

  Harness& blank = Run("blank", MessageAnswer::kNo);
  int refused = 0;
  for (const std::string& line : blank.desk.logTexts()) refused += line.rfind("Track ", 0) == 0;
  EXPECT_EQ(refused, 1) << "the first track the disk does not take ends the restore";
  EXPECT_TRUE(blank.desk.Logged("Track 1: NO ADDRESS MARK"));
  EXPECT_TRUE(blank.desk.Logged("Tracks restored: 0"));
  EXPECT_TRUE(blank.desk.Logged("-- aborted --")) << "the disk is not the image";
}

TEST_F(Restore1581, CancelWritesNothingAndAProtectedDiskStopsAtTheFirstTrack) {
  Harness& cancelled = Run("blank", MessageAnswer::kCancel);
  EXPECT_FALSE(cancelled.desk.Logged("Restoring from file: \"disk.d81\""));

  const std::string other = dir_ / "other.d81";
  ASSERT_TRUE(oracle::MakeImage(dir_, other, {{"old", oracle::Noise(3000, 9)}}));
  Harness& h = Run(other + ":wp", MessageAnswer::kNo);
  int refused = 0;
  for (const std::string& line : h.desk.logTexts()) refused += line.rfind("Track ", 0) == 0;
  EXPECT_EQ(refused, 1);
  EXPECT_TRUE(h.desk.Logged("Tracks restored: 0"));
}

// A file as the drive's own DOS reads it off the disk now in drive 8.
std::vector<uint8_t> ReadThroughTheDos(Harness& h, const std::string& name) {
  sim::Dos& dos = *h.bus->dos(8);
  std::vector<uint8_t> read;
  if (!dos.Open(2, std::vector<uint8_t>(name.begin(), name.end()))) return read;
  bool eoi = false;
  while (!eoi) {
    const std::vector<uint8_t> part = dos.Read(2, 4096, eoi);
    if (part.empty()) break;
    read.insert(read.end(), part.begin(), part.end());
  }
  dos.Close(2);
  return read;
}

// The 1581 writes a track through its cache, which keeps the side it wrote last until the head
// moves on. The restore moves the head before it counts the last track: a disk pulled out as
// the last track comes up on the map lost its last sectors, and the restore says so; a disk
// taken out after the command holds the whole image. A disk put in while the format question is
// open is no fault: the drive tells of the change on the first write, which is sent again.
TEST_F(Restore1581, TheLastTrackCountsOnceItLeftTheDrivesCache) {
  // Tracks 61 to 80 full, the last block in sector 39 of track 80 (cc1541 starts no file above
  // track 63).
  const std::vector<uint8_t> last = oracle::Noise(800 * 254, 7);
  fake::WriteFile(dir_ / "last", last);
  const std::string image = dir_ / "last.d81";
  ASSERT_TRUE(oracle::Run("cd " + oracle::Quoted(dir_.path()) +
                          " && cc1541 -n 'last track' -i 'lt 2a' -f last -r 61 -w last " +
                          oracle::Quoted(image) + " > /dev/null"));
  const std::string other = dir_ / "other.d81";
  ASSERT_TRUE(oracle::MakeImage(dir_, other, {{"old", oracle::Noise(3000, 9)}}));
  const sim::Fault eject{sim::FaultKind::kEject, 8};
  const sim::Fault insert{sim::FaultKind::kInsert, 8};

  Harness swapped("8=1581:" + other);
  swapped.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  swapped.desk.QueueFile(image);
  swapped.desk.QueueMessageAnswer(MessageAnswer::kNo);
  swapped.desk.QueueWhileAsked({});
  swapped.desk.QueueWhileAsked([&] {
    swapped.bus->Inject(eject);
    swapped.bus->Inject(insert);
  });
  swapped.desk.QueueCommand(kCmdRestoreImage);
  swapped.Run();
  EXPECT_TRUE(swapped.desk.Logged("Tracks restored: 80"));
  EXPECT_EQ(swapped.desk.logTexts().back(), "-- done --");
  swapped.bus->Inject(eject);
  swapped.bus->Inject(insert);
  EXPECT_EQ(ReadThroughTheDos(swapped, "LAST"), last);
  std::string error;
  ASSERT_TRUE(swapped.bus->SaveDisk(8, dir_ / "restored.d81", &error)) << error;
  EXPECT_EQ(fake::ReadFile(dir_ / "restored.d81"), fake::ReadFile(image));

  Harness pulled("8=1581:" + other);
  pulled.desk.AnswerQuestion(kOverwriteDiskCaption, MessageAnswer::kYes);
  pulled.desk.QueueFile(image);
  pulled.desk.QueueMessageAnswer(MessageAnswer::kNo);
  pulled.desk.WhenTrackShown(80, [&] { pulled.bus->Inject(eject); });
  pulled.desk.QueueCommand(kCmdRestoreImage);
  pulled.Run();
  EXPECT_TRUE(pulled.desk.Logged("Track 80: NO DRIVE PRESENT"));
  EXPECT_TRUE(pulled.desk.Logged("Tracks restored: 79"));
  EXPECT_EQ(pulled.desk.logTexts().back(), "-- aborted --");
  pulled.bus->Inject(insert);
  EXPECT_LT(ReadThroughTheDos(pulled, "LAST").size(), last.size())
      << "the sectors still in the cache went with the disk";
}

}  // namespace
}  // namespace dw
