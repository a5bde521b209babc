// Create and Verify as the user runs them: commands of the main loop against a virtual drive,
// with images made by cc1541 as the oracle.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "prg_oracle_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

std::vector<std::string> After(const std::vector<std::string>& log, const std::string& line) {
  auto at = std::find(log.begin(), log.end(), line);
  return at == log.end() ? std::vector<std::string>{} : std::vector<std::string>(at + 1, log.end());
}

class CreateVerify1581 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!oracle::ToolInstalled("cc1541")) GTEST_SKIP() << "cc1541 is needed";
    image_ = dir_ / "disk.d81";
    ASSERT_TRUE(oracle::MakeImage(dir_, image_,
                                  {{"one", oracle::Noise(1, 1)},
                                   {"big", oracle::Noise(254 * 300 + 17, 2)},
                                   {"exact", oracle::Noise(254 * 3, 3)}}));
  }

  // Runs the commands on a fresh program with the disk in drive 8.
  Harness& Run(const std::vector<int>& commands, const std::vector<std::string>& files) {
    h_ = std::make_unique<Harness>("8=1581:" + image_);
    for (const std::string& file : files) h_->desk.QueueFile(file);
    for (int command : commands) h_->desk.QueueCommand(command);
    h_->Run();
    return *h_;
  }

  fake::TempDir dir_{"create81"};
  std::string image_;
  std::unique_ptr<Harness> h_;
};

TEST_F(CreateVerify1581, CreateGivesTheImageByteForByteAndVerifyAgreesWithoutStatusLines) {
  const std::string created = dir_ / "copy.d81";
  Harness& h = Run({kCmdImageErrors, kCmdCreateImage, kCmdVerifyImage}, {created, created});
  EXPECT_EQ(fake::ReadFile(created), fake::ReadFile(image_)) << "819,200 bytes, no error bytes";
  const std::vector<std::string> create = After(h.desk.logTexts(), "Image errors enabled");
  ASSERT_GE(create.size(), 3u);
  // The directory first, then the tracks: no ruler and no status line on a 1581.
  auto reading = std::find(create.begin(), create.end(), "Reading 80 tracks");
  ASSERT_NE(reading, create.end());
  EXPECT_EQ(*(reading + 1), "Saved copy.d81: 3200 sectors, no errors");
  const std::vector<std::string> verify = After(create, "Reading 80 tracks");
  EXPECT_EQ(verify,
            (std::vector<std::string>{"Saved copy.d81: 3200 sectors, no errors", "-- done --",
                                      "Verifying 80 tracks", "Verify OK",
                                      "Verified 3200 sectors against copy.d81", "-- done --"}));
  EXPECT_TRUE(h.desk.messages().empty());
}

TEST_F(CreateVerify1581, TheFirstDifferenceIsReportedWithItsPlaceOnDiskAndInTheFile) {
  std::vector<uint8_t> bytes = fake::ReadFile(image_);
  // Track 40 sector 3 byte $1C.
  const size_t offset = 39 * 10240 + 3 * 256 + 0x1C;
  const uint8_t onDisk = bytes[offset];
  bytes[offset] ^= 0x5A;
  const std::string changed = dir_ / "changed.d81";
  fake::WriteFile(changed, bytes);
  Harness& h = Run({kCmdVerifyImage}, {changed});
  char disk[8], file[8];
  std::snprintf(disk, sizeof disk, "%X", onDisk);
  std::snprintf(file, sizeof file, "%X", bytes[offset]);
  EXPECT_EQ(After(h.desk.logTexts(), "Verifying 80 tracks"),
            (std::vector<std::string>{
                "Failed track: 40, sector: 3, offset: $1C", "File offset: 0x61B1C",
                std::string("Disk: 0x") + disk + " <> File: 0x" + file, "-- done --"}));
  ASSERT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(h.desk.messages()[0].request.text, "Verify failed!");
  EXPECT_EQ(h.desk.messages()[0].request.icon, MessageIcon::kWarning);
}

TEST_F(CreateVerify1581, AFileOfTheWrongSizeGetsTwoBoxesAndNothingIsRead) {
  const std::string shortFile = dir_ / "short.d81";
  fake::WriteFile(shortFile, std::vector<uint8_t>(819199, 0));
  Harness& h = Run({kCmdVerifyImage}, {shortFile});
  ASSERT_EQ(h.desk.messages().size(), 2u);
  EXPECT_EQ(h.desk.messages()[0].request.text, "File size does not match drive capacity.");
  EXPECT_EQ(h.desk.messages()[1].request.text, "File size does not match disk capacity.");
  EXPECT_FALSE(h.desk.Logged("Verifying 80 tracks"));
}

TEST_F(CreateVerify1581, ACancelledRequesterAsksBeforeTheImageIsDroppedAndThenLeavesNoFile) {
  // Cancel, keep the image (the default, No), cancel again, drop it.
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  h_->desk.QueueFile("");
  h_->desk.QueueFile("");
  h_->desk.QueueMessageAnswer(MessageAnswer::kNo);
  h_->desk.QueueMessageAnswer(MessageAnswer::kYes);
  h_->desk.QueueCommand(kCmdCreateImage);
  h_->Run();
  Harness& h = *h_;
  ASSERT_EQ(h.desk.messages().size(), 2u);
  for (const ScriptedDesk::ShownMessage& shown : h.desk.messages()) {
    EXPECT_EQ(shown.request.caption, "Create disk image");
    EXPECT_EQ(shown.request.text, "Discard the image just read?");
    EXPECT_EQ(shown.request.buttons, MessageButtons::kYesNo);
    EXPECT_EQ(shown.request.defaultButton, MessageAnswer::kNo);
  }
  EXPECT_EQ(h.desk.fileRequests().size(), 2u);
  EXPECT_TRUE(h.desk.Logged("Save Image canceled"));
  EXPECT_TRUE(h.desk.Logged("-- done --"));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    files += entry.path().extension() == ".d81";
  }
  EXPECT_EQ(files, 1) << "only the image the test made";
}

TEST_F(CreateVerify1581, AnAbortInTheMiddleOfTheTracksWritesNothingAndAsksForNothing) {
  const std::string created = dir_ / "never.d81";
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  h_->desk.QueueFile(created);
  h_->desk.QueueCommand(kCmdCreateImage);
  // Well into the tracks: the directory takes about a second, a track some 50 ms.
  h_->desk.ScheduleEvent(3'000'000, {EventKind::kResetButton, 0});
  h_->Run();
  EXPECT_TRUE(h_->desk.Logged("Reading 80 tracks"));
  EXPECT_FALSE(std::filesystem::exists(created));
  EXPECT_TRUE(h_->desk.Logged("-- aborted --"));
  EXPECT_EQ(h_->desk.fileRequests().size(), 0u);
}

// A disk pulled out while the 1581 reads a track side still gives a whole reply: the sectors
// that had passed, zeros for the rest, and a failing status in front. Those zeros are no data
// of the disk, and the log names the half track as it does for a status without data.
TEST_F(CreateVerify1581, AWholeReplyWithAFailingStatusIsToldInTheLog) {
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h_->bus, {"pullout", "8", "0.5"}, 0, &error)) << error;
  h_->desk.QueueFile(dir_ / "pulled.d81");
  h_->desk.QueueCommand(kCmdCreateImage);
  h_->Run();
  const std::vector<std::string> log = h_->desk.logTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Error on:  Track 1; Sector 0; @Adr.: 0"), log.end())
      << ::testing::PrintToString(After(log, "Reading 80 tracks"));
}

// A weak sector (3/25) fails the burst status of its half track on some revolutions: with
// retries the half is read until its status is good, without them its failing read is kept.
TEST_F(CreateVerify1581, AHalfTrackWithAWeakSectorIsReadAgainUntilItsStatusIsGood) {
  for (const bool retries : {true, false}) {
    h_ = std::make_unique<Harness>("8=1581:" + image_ + ":weak@3/25");
    const std::string created = dir_ / (retries ? "retried.d81" : "plain.d81");
    if (retries) {
      h_->desk.QueueText("2");
      h_->desk.QueueCommand(kCmdRetryTracks);
    }
    h_->desk.QueueFile(created);
    h_->desk.QueueCommand(kCmdCreateImage);
    h_->Run();
    const std::vector<uint8_t> copy = fake::ReadFile(created);
    const std::vector<uint8_t> disk = fake::ReadFile(image_);
    ASSERT_EQ(copy.size(), disk.size());
    const size_t half = (2 * 40 + 20) * 256;
    const std::vector<uint8_t>& map = h_->desk.diskMap()[2];
    if (retries) {
      EXPECT_EQ(copy, disk);
      EXPECT_TRUE(h_->desk.Logged("Track 3: sectors 20 to 39 recovered on try 2") ||
                  h_->desk.Logged("Track 3: sectors 20 to 39 recovered on try 3"));
      EXPECT_EQ(map[20], kMapRecovered);
      EXPECT_EQ(map[39], kMapRecovered);
      EXPECT_EQ(map[19], kMapGood);
      EXPECT_TRUE(
          h_->desk.Logged("Saved retried.d81: 3200 sectors, no errors, 20 recovered on retry"));
    } else {
      EXPECT_FALSE(
          std::equal(copy.begin() + half, copy.begin() + half + 20 * 256, disk.begin() + half));
      EXPECT_EQ(map[20], 5);
      EXPECT_TRUE(h_->desk.Logged("Error on:  Track 3; Sector 20; @Adr.: 5000"));
    }
  }
}

// A reply of the wrong size is the line's fault, not the disk's: the half track is read again.
// Garbled three times, the half track is lost, which a D81 has no error bytes to tell: the
// Create saves nothing and names the track.
TEST_F(CreateVerify1581, GarbledBurstRepliesAreReadAgainAndAHalfTrackNeverReadSavesNothing) {
  for (const std::vector<std::string>& faults :
       {std::vector<std::string>{"echo"}, {"oversize"}, {"echo", "echo", "echo"}}) {
    const std::string name = faults.size() == 1 ? faults[0] : "three echoes";
    SCOPED_TRACE(name);
    const std::string created = dir_ / (name + ".d81");
    h_ = std::make_unique<Harness>("8=1581:" + image_);
    for (const std::string& fault : faults) {
      std::string error;
      ASSERT_TRUE(ApplyBusFault(*h_->bus, {fault}, 3'000'000, &error)) << error;
    }
    h_->desk.QueueFile(created);
    h_->desk.QueueCommand(kCmdCreateImage);
    h_->Run();
    const std::vector<std::string> log = h_->desk.logTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Data packet has wrong size"),
              static_cast<long>(faults.size()));
    if (faults.size() == 1) {
      EXPECT_EQ(fake::ReadFile(created), fake::ReadFile(image_));
      EXPECT_EQ(log.back(), "-- done --");
      continue;
    }
    auto lost = std::find_if(log.begin(), log.end(),
                             [](const std::string& line) { return line.rfind("Track ", 0) == 0; });
    ASSERT_NE(lost, log.end());
    const std::string track = lost->substr(6, lost->find(' ', 6) - 6);
    EXPECT_GT(std::stoi(track), 1);
    EXPECT_TRUE(*lost ==
                    "Track " + track + " not read: 3 garbled replies for its sectors 0 to 19" ||
                *lost == "Track " + track + " not read: 3 garbled replies for its sectors 20 to 39")
        << *lost;
    EXPECT_EQ(log.back(), "-- aborted --");
    EXPECT_TRUE(h_->desk.fileRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(created));
  }
}

// The 1581 tells of a disk put in since its last command once, on its next burst command: a disk
// put in while the file requester was open verifies as any other. One changed in the middle of
// the tracks may be another disk: the Create stops and saves nothing.
TEST_F(CreateVerify1581, ADiskChangeBeforeTheTracksIsNoFaultAndOneAmongThemStopsTheCreate) {
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  sim::VirtualBus& bus = *h_->bus;
  h_->desk.QueueWhileAsked([&bus] {
    bus.Inject({sim::FaultKind::kEject, 8});
    bus.Inject({sim::FaultKind::kInsert, 8});
  });
  h_->desk.QueueFile(image_);
  h_->desk.QueueCommand(kCmdVerifyImage);
  h_->Run();
  EXPECT_EQ(After(h_->desk.logTexts(), "Verifying 80 tracks"),
            (std::vector<std::string>{"Verify OK", "Verified 3200 sectors against disk.d81",
                                      "-- done --"}));

  const std::string created = dir_ / "never.d81";
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  std::string error;
  ASSERT_TRUE(ApplyBusFault(*h_->bus, {"eject", "8"}, 3'000'000, &error)) << error;
  ASSERT_TRUE(ApplyBusFault(*h_->bus, {"insert", "8"}, 3'050'000, &error)) << error;
  h_->desk.QueueFile(created);
  h_->desk.QueueCommand(kCmdCreateImage);
  h_->Run();
  EXPECT_TRUE(h_->desk.Logged("DISK CHANGE"));
  EXPECT_EQ(h_->desk.logTexts().back(), "-- aborted --");
  EXPECT_FALSE(std::filesystem::exists(created));
}

// A disk that fills up while the image is written: the file size limit of the process stands
// in for it (it stops root as well as anyone).
TEST_F(CreateVerify1581, AWriteThatFailsLeavesNoPartialFileAndTheOldFileAsItWas) {
  const std::string target = dir_ / "kept.d81";
  fake::WriteFile(target, std::vector<uint8_t>(1000, 0xEE));
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  rlimit small = limit;
  small.rlim_cur = 400000;
  setrlimit(RLIMIT_FSIZE, &small);
  h_ = std::make_unique<Harness>("8=1581:" + image_);
  h_->desk.QueueFile(target);
  h_->desk.QueueMessageAnswer(MessageAnswer::kYes);  // replace the file
  h_->desk.QueueCommand(kCmdCreateImage);
  h_->Run();
  Harness& h = *h_;
  setrlimit(RLIMIT_FSIZE, &limit);
  sigaction(SIGXFSZ, &previous, nullptr);

  ASSERT_EQ(h.desk.messages().size(), 2u);
  EXPECT_EQ(h.desk.messages()[1].request.text, "Error: Can't write to file " + target);
  EXPECT_EQ(h.desk.messages()[1].request.icon, MessageIcon::kWarning);
  EXPECT_EQ(fake::ReadFile(target), std::vector<uint8_t>(1000, 0xEE));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
}

}  // namespace
}  // namespace dw
