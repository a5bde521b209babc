#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include "platform/log_file.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace dw {
namespace {

// The log after the welcome line.
std::vector<std::string> CommandLog(const Harness& h) {
  std::vector<std::string> log = h.desk.logTexts();
  auto welcome = std::find(log.begin(), log.end(), "Welcome Diskwright user");
  return welcome == log.end() ? log : std::vector<std::string>(welcome + 1, log.end());
}

TEST(MainLoop, FortyTracksTwiceTogglesTheMarkAndEndsEachWithDone) {
  Harness h("8=1541-II");
  h.desk.QueueCommand(kCmdFortyTracks);
  h.desk.QueueCommand(kCmdFortyTracks);
  h.desk.QueueCommand(kCmdImageErrors);
  h.Run();
  EXPECT_EQ(CommandLog(h),
            (std::vector<std::string>{"40 tracks enabled", "-- done --", "40 tracks disabled",
                                      "-- done --", "Image errors enabled", "-- done --"}));
  EXPECT_FALSE(h.desk.checked(kCmdFortyTracks));
  EXPECT_TRUE(h.desk.checked(kCmdImageErrors));
  EXPECT_FALSE(h.program.FortyTracksMark);
  EXPECT_TRUE(h.program.ImageErrorsMark);
}

TEST(MainLoop, SelectionMadeWhileACommandRunsIsLost) {
  Harness h("8=1541-II");
  // The error info command talks to the drive first; a click during that is drained.
  h.desk.QueueCommand(kCmdErrorInfo);
  h.Connect();
  int64_t busy = h.clock.NowUs() + 2'000;
  h.desk.ScheduleCommand(busy, kCmdFortyTracks);
  h.Run();
  std::vector<std::string> log = CommandLog(h);
  EXPECT_EQ(std::count(log.begin(), log.end(), "40 tracks enabled"), 0);
  EXPECT_EQ(log.back(), "-- done --");
  EXPECT_FALSE(h.desk.checked(kCmdFortyTracks));
  EXPECT_EQ(h.desk.progressValue(), 0);
  EXPECT_TRUE(h.desk.commandButtonsEnabled());
}

TEST(MainLoop, AboutShowsVersionAndBuildDate) {
  Harness h("8=1541-II");
  h.desk.QueueCommand(kCmdAbout);
  h.Run();
  ASSERT_EQ(h.desk.messages().size(), 1u);
  const MessageRequest& box = h.desk.messages()[0].request;
  EXPECT_EQ(box.caption, "Diskwright");
  EXPECT_EQ(box.buttons, MessageButtons::kOk);
  EXPECT_TRUE(std::regex_match(
      box.text, std::regex("Version 3\\.00\r\nBuilt: [0-3][0-9]\\.[01][0-9]\\.20[0-9][0-9]")))
      << box.text;
  EXPECT_EQ(CommandLog(h), (std::vector<std::string>{"-- done --"}));
}

TEST(MainLoop, QuitEndsTheProgramWithoutAClosingLine) {
  Harness h("8=1541-II");
  h.desk.QueueCommand(kCmdQuit);
  h.desk.QueueCommand(kCmdFortyTracks);  // never reached
  h.Run();
  EXPECT_TRUE(h.desk.closed());
  EXPECT_EQ(h.program.LinkPort, nullptr);
  EXPECT_TRUE(CommandLog(h).empty());
}

TEST(MainLoop, CommandWithTheDriveGoneEndsAbortedAndShowsNothing) {
  Harness h("8=1541-II");
  h.Connect();
  ASSERT_TRUE(h.bus->Inject({sim::FaultKind::kPowerOff, 8}));
  h.desk.QueueCommand(kCmdAbout);
  h.Run();
  EXPECT_TRUE(h.desk.messages().empty());
  std::vector<std::string> full = h.desk.fullLogTexts();
  EXPECT_NE(std::find(full.begin(), full.end(), "-- aborted --"), full.end());
}

TEST(MainLoop, ResetWhileIdleReconnectsAtOnce) {
  Harness h("8=1541-II");
  h.desk.QueueIdleEvent({EventKind::kResetButton, 0});
  h.desk.QueueCommand(kCmdFortyTracks);
  h.Run();
  std::vector<std::string> full = h.desk.fullLogTexts();
  EXPECT_EQ(std::count(full.begin(), full.end(), "Welcome Diskwright user"), 2);
  EXPECT_FALSE(h.desk.resetDown());
  EXPECT_EQ(CommandLog(h), (std::vector<std::string>{"40 tracks enabled", "-- done --"}));
}

TEST(MainLoop, ResetDuringACommandAbortsItAndTheNextPassReconnects) {
  Harness h("8=1541-II");
  h.Connect();
  ASSERT_TRUE(h.bus->Inject({sim::FaultKind::kSilentReply}));
  h.desk.QueueCommand(kCmdErrorInfo);
  h.desk.ScheduleEvent(h.clock.NowUs() + 50'000, {EventKind::kResetButton, 0});
  h.Run();
  std::vector<std::string> full = h.desk.fullLogTexts();
  auto aborted = std::find(full.begin(), full.end(), "-- aborted --");
  ASSERT_NE(aborted, full.end());
  EXPECT_EQ(std::count(full.begin(), full.end(), "Connection Timeout"), 0);
  EXPECT_EQ(h.desk.logTexts().front(), "BUSLINK V2.0 found @ COM0");
  EXPECT_EQ(h.desk.logTexts().back(), "Welcome Diskwright user");
}

TEST(MainLoop, SelectingAnotherDriveLogsItAndResetsTheRevolutionTime) {
  Harness h("8=1541-II,10=1581");
  h.program.RevolutionTimeUs = 123456;
  h.desk.QueueIdleEvent({EventKind::kDeviceSelected, 1});
  h.Run();
  std::vector<std::string> log = h.desk.logTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Device 10: 1581 Drive selected"), log.end());
  EXPECT_EQ(h.program.CurrentDevice, 10);
  EXPECT_EQ(h.program.DriveModelName, "1581");
  EXPECT_EQ(h.program.RevolutionTimeUs, 200000u);
  EXPECT_TRUE(h.desk.directory().empty());
}

TEST(MainLoop, TheKeptLogHoldsWhatAReconnectionEmptiedFromThePane) {
  TempFolder folder("kept-log");
  Harness h("8=1541-II");
  LogFile kept = LogFile::Daily(folder / "data");
  h.program.KeptLog = &kept;
  h.desk.QueueCommand(kCmdFortyTracks);
  h.desk.QueueIdleEvent({EventKind::kResetButton, 0});
  h.desk.QueueCommand(kCmdOpenLogFolder);
  h.Run();
  std::vector<std::string> pane = h.desk.logTexts();
  EXPECT_EQ(std::count(pane.begin(), pane.end(), "40 tracks enabled"), 0);
  const std::string file = folder / "data/diskwright-2021-06-06.log";
  EXPECT_EQ(pane.back(), "Log file: " + file);
  EXPECT_EQ(h.desk.openedFolders(), std::vector<std::string>{folder / "data"});
  // Every line of the run, across the reconnection, after the date.
  std::string expected = "=== 2021-06-06 ===\n";
  for (const std::string& line : h.desk.fullLog()) expected += line + "\n";
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
}

TEST(MainLoop, ALogFileThatCannotBeWrittenIsToldOnceAndTheProgramGoesOn) {
  TempFolder folder("kept-log");
  // A file where the folder would be.
  std::ofstream(folder / "data") << "";
  Harness h("8=1541-II");
  LogFile kept = LogFile::Daily(folder / "data");
  h.program.KeptLog = &kept;
  h.desk.QueueCommand(kCmdFortyTracks);
  h.Run();
  int told = 0;
  for (const std::string& text : h.desk.fullLogTexts()) {
    told +=
        text.rfind("Log file not written: " + folder / "data/diskwright-2021-06-06.log", 0) == 0;
  }
  EXPECT_EQ(told, 1);
  EXPECT_EQ(CommandLog(h), (std::vector<std::string>{"40 tracks enabled", "-- done --"}));
}

}  // namespace
}  // namespace dw
