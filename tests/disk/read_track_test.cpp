// Track reading end to end: the program, the adapter and a virtual drive with a disk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk/geometry.h"
#include "disk/read_track.h"
#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

constexpr int kD81Size = 819200;

// A 1581 with a D81 made by cc1541 holding files, connected, with the 1581 layout selected.
class BurstRead : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
    image_ = dir_ / "work.d81";
    ASSERT_TRUE(oracle::MakeImage(
        dir_, image_,
        {{"first", oracle::Noise(30000, 1)}, {"second", oracle::Noise(254 * 40 + 3, 2)}}));
    h_ = std::make_unique<Harness>("8=1581:" + image_);
    h_->Connect();
    p().DiskFormat = kDisk1581;
    ASSERT_EQ(SelectGeometry(p(), false), 80);
    h_->desk.ClearLog();
  }
  Program& p() { return h_->program; }

  fake::TempDir dir_{"burst"};
  std::string image_;
  std::unique_ptr<Harness> h_;
};

TEST_F(BurstRead, BothHalvesOfEveryTrackLandWhereTheImageHasThem) {
  for (int track = 1; track <= 80; ++track) ASSERT_TRUE(ReadTrack(p(), track)) << track;
  std::vector<uint8_t> file = fake::ReadFile(image_);
  ASSERT_EQ(file.size(), static_cast<size_t>(kD81Size));
  EXPECT_TRUE(std::equal(file.begin(), file.end(), p().ImageBuffer.begin()));
  EXPECT_TRUE(h_->desk.log().empty());
  EXPECT_EQ(h_->desk.statusText(), "Reading Track: 80");
}

TEST_F(BurstRead, AStatusAloneIsLoggedPerHalfAndTheSectorsStayAsTheyWere) {
  ASSERT_TRUE(h_->bus->Inject({sim::FaultKind::kEject, 8}));
  EXPECT_TRUE(ReadTrack(p(), 40));
  EXPECT_EQ(h_->desk.logTexts(),
            (std::vector<std::string>{
                "Error on:  Track 40; Sector 0; @Adr.: 61800", "NO DRIVE PRESENT",
                "Error on:  Track 40; Sector 20; @Adr.: 61800", "NO DRIVE PRESENT"}));
  EXPECT_TRUE(std::all_of(p().ImageBuffer.begin() + 39 * 10240,
                          p().ImageBuffer.begin() + 40 * 10240, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(p().LinkState, 0);
}

TEST_F(BurstRead, AReplyOfAnyOtherLengthEndsTheTrackAndATimeoutEndsTheSeries) {
  ASSERT_TRUE(h_->bus->Inject({sim::FaultKind::kSilentReply}));
  EXPECT_FALSE(ReadTrack(p(), 3));
  EXPECT_EQ(h_->desk.logTexts(),
            (std::vector<std::string>{"Connection Timeout", "Data packet has wrong size"}));
  h_->desk.ClearLog();
  int64_t before = h_->clock.NowUs();
  EXPECT_FALSE(ReadTrack(p(), 4));
  EXPECT_EQ(h_->clock.NowUs(), before);
  EXPECT_TRUE(h_->desk.log().empty());
}

TEST_F(BurstRead, TracksOutsideTheLayoutAreNotRead) {
  int64_t before = h_->clock.NowUs();
  size_t statusShown = h_->desk.statusTexts().size();
  EXPECT_FALSE(ReadTrack(p(), 0));
  EXPECT_FALSE(ReadTrack(p(), 81));
  p().TrackCount = 35;
  EXPECT_FALSE(ReadTrack(p(), 36));
  EXPECT_EQ(h_->clock.NowUs(), before);
  EXPECT_TRUE(h_->desk.log().empty());
  EXPECT_EQ(h_->desk.statusTexts().size(), statusShown);
}

}  // namespace
}  // namespace dw
