// Drive code files and the job packets, against the virtual adapter.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk/read_track.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace dw {
namespace {

// Runs the test in a folder of its own: the program looks for drive code in the current one.
class InFolder {
 public:
  InFolder() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder_.path());
  }
  ~InFolder() { std::filesystem::current_path(previous_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
  }

 private:
  TempFolder folder_{"drivecode"};
  std::filesystem::path previous_;
};

class DriveCode : public ::testing::Test {
 protected:
  void Connect(const std::string& description) {
    h_ = std::make_unique<Harness>(description);
    h_->Connect();
    h_->desk.ClearLog();
  }
  Program& p() { return h_->program; }
  std::vector<uint8_t> AdapterPage() const {
    auto page = h_->bus->adapter().buffer().first(256);
    return std::vector<uint8_t>(page.begin(), page.end());
  }

  InFolder folder_;
  std::unique_ptr<Harness> h_;
};

TEST_F(DriveCode, TheFileOfTheFamilyIsReadInFileOrderAndStartedInTheDrive) {
  // The address column does not place the bytes; short and empty lines are skipped; a line
  // may hold fewer than 16 bytes.
  folder_.Write("157x_U3.h65",
                "0500 A9 00 8D 00 1C\n"
                "0400\n"
                "\n"
                "0000 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10\r\n");
  folder_.Write("1541_U3.h65", "0300 EA EA\n");
  Connect("8=1571,9=1541-II");
  DetectDriveModel(p());
  DriveJob(p(), 0, 3, 0, 0, 0);
  std::vector<uint8_t> page = AdapterPage();
  EXPECT_EQ(std::vector<uint8_t>(page.begin(), page.begin() + 21),
            (std::vector<uint8_t>{0xA9, 0x00, 0x8D, 0x00, 0x1C, 1,  2,  3,  4,  5, 6,
                                  7,    8,    9,    10,   11,   12, 13, 14, 15, 16}));
  EXPECT_EQ(h_->bus->adapter().codeDevice(), 8);
  // Bytes 4 to 6 of the start packet are not set: they are what the page left there.
  EXPECT_EQ(std::vector<uint8_t>(p().CommandPacket.begin(), p().CommandPacket.begin() + 8),
            (std::vector<uint8_t>{0x0C, 0x08, 8, 0x0F, 0x00, 0x8D, 0x00, 0xAA}));

  p().CurrentDevice = 9;
  DetectDriveModel(p());
  DriveJob(p(), 0, 3, 0, 0, 0);
  EXPECT_EQ(AdapterPage()[0], 0xEA);
  EXPECT_EQ(AdapterPage()[1], 0xEA);
  EXPECT_EQ(h_->bus->adapter().codeDevice(), 9);
}

TEST_F(DriveCode, AFileThatCannotBeReadEndsTheOperationWithoutAJob) {
  Connect("8=1541-II");
  p().DiskFormat = kDisk1541;
  int64_t before = h_->clock.NowUs();
  StartSectorTransfer(p(), kCodeTrackRead, true);
  ASSERT_EQ(h_->desk.messages().size(), 1u);
  EXPECT_EQ(h_->desk.messages()[0].request.text, "Error: Can't read from file 1541_U0.h65");
  EXPECT_EQ(p().LinkState, kLinkIecError) << "ends the command without a reconnection";
  EXPECT_EQ(h_->bus->adapter().codeDevice(), 0);
  EXPECT_EQ(h_->bus->adapter().bufferPages(), 0) << "no page was loaded";
  p().TrackCount = 35;
  EXPECT_FALSE(ReadTrack(p(), 1));
  EXPECT_EQ(DriveJob(p(), 5, 30, 1, 0, 0), 0);
  EXPECT_EQ(h_->clock.NowUs(), before) << "nothing went to the adapter";
}

TEST_F(DriveCode, JobPacketsCarryTheSubFunctionAndParameters) {
  Connect("8=1541-II");
  struct Case {
    int function, p1, p2, p3, p4;
    std::vector<uint8_t> packet;
  };
  const Case cases[] = {
      {1, 0x1C00, 0, 0, 0, {0x0D, 0x08, 0x00, 0x00, 0x1C}},
      {2, 0x0006, 1, 0, 0, {0x0D, 0x08, 0x01, 0x06, 0x00, 0x01}},
      {5, 30, 18, 0xC0, 0, {0x0E, 0x08, 0x05, 30, 18, 0xC0, 0x00, 0xAA}},
      {6, 2, 35, 0, 0, {0x0F, 0x08, 0x81, 2, 35, 0}},
      {7, 18, 0, 0, 0, {0x10, 0x08, 0x06, 18}},
      {8, 32, 0xE000, 0, 0, {0x0E, 0x08, 0x08, 32, 0x00, 0xE0}},
  };
  for (const Case& c : cases) {
    p().LinkState = 0;
    DriveJob(p(), c.function, c.p1, c.p2, c.p3, c.p4);
    EXPECT_EQ(std::vector<uint8_t>(p().CommandPacket.begin(),
                                   p().CommandPacket.begin() + static_cast<long>(c.packet.size())),
              c.packet)
        << "function " << c.function;
    EXPECT_EQ(p().CommandPacket[7], 0xAA);
  }
}

TEST_F(DriveCode, AnEarlierDriveErrorStopsEveryJob) {
  Connect("8=1541-II");
  p().LinkState = kLinkIecError;
  int64_t before = h_->clock.NowUs();
  EXPECT_EQ(DriveJob(p(), 1, 0x1C00, 0, 0, 0), 0);
  EXPECT_EQ(h_->clock.NowUs(), before);
}

}  // namespace
}  // namespace dw
