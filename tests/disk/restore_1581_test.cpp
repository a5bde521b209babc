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

}  // namespace
}  // namespace dw
