// "RPM check" and "RPM adjust" from the menu against virtual drives turning at set speeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "shell/main_loop.h"
#include "tool_test_support.h"
#include "tools/rpm_check.h"

namespace dw {
namespace {

using Lines = std::vector<std::string>;

bool IsSpeedLine(const std::string& line) {
  static const std::regex speed("[0-9]+\\.[0-9]");
  return std::regex_match(line, speed);
}

Lines SpeedLines(const Lines& lines) {
  Lines speeds;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(speeds), IsSpeedLine);
  return speeds;
}

constexpr const char* kHeadLine = "Drive Spindle Speed; nominal 300 RPM [294 < RPM < 306]";

TEST(RpmFigures, TicksRevolutionTimeAndTheSeriesSummary) {
  EXPECT_EQ(RevolutionTimeFromTicks(368640), 200000);
  EXPECT_EQ(RpmText(200000), "300.0");
  // 576 ticks are 312.5 us and 1728 ticks 937.5 us: halves go to the even neighbour.
  EXPECT_EQ(RevolutionTimeFromTicks(576), 312);
  EXPECT_EQ(RevolutionTimeFromTicks(1728), 938);
  RevolutionRange range;
  for (int32_t t : {199000, 200000, 201000, 200500, 199500}) range.Add(t);
  EXPECT_EQ(range.SummaryLine(), "RPM min: 298.5; max: 301.5");
  EXPECT_EQ(range.minTime, 199000);
  EXPECT_EQ(range.maxTime, 201000);
}

class RpmCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tooltest::Cc1541Installed()) GTEST_SKIP() << "cc1541 is needed";
    disk_ = tooltest::MakeDisk(folder_, "disk.d64");
  }
  std::string Drive(const std::string& options) const {
    return "8=1541-II+" + options + ":" + disk_;
  }

  TempFolder folder_{"rpm"};
  std::string disk_;
};

// The connection resets the drive: its DOS no longer knows which track the head is on, and the
// code steps from the track the DOS believes. The head where an earlier session left it, track
// 30: stepped on by 18 tracks from there the code would time track 42, which nothing wrote.
TEST_F(RpmCheck, RightAfterTheResetTheHeadIsFoundBeforeATrackIsTimed) {
  Harness h(Drive("") + ":steady");
  h.bus->drive(8)->mechanics().SetHeadTrack(30);
  h.desk.QueueCommand(kCmdRpmCheck);
  h.Run();
  const std::vector<Lines> logs = tooltest::CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(SpeedLines(logs[0]), Lines(5, "300.0"));
  EXPECT_EQ(logs[0].back(), "-- done --");
  EXPECT_EQ(h.bus->drive(8)->mechanics().headTrack(), 18);
}

TEST_F(RpmCheck, FiveMeasurementsOfADriveAt310RpmAndItsRevolutionTime) {
  Harness h(Drive("@310rpm") + ":steady");
  h.desk.QueueCommand(kCmdRpmCheck);
  h.Run();
  const std::vector<Lines> logs = tooltest::CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].front(), kHeadLine);
  EXPECT_EQ(SpeedLines(logs[0]), Lines(5, "310.0"));
  EXPECT_EQ(logs[0][logs[0].size() - 2], "RPM min: 310.0; max: 310.0");
  EXPECT_EQ(logs[0].back(), "-- done --");
  // The desk's chart gets the same five speeds.
  EXPECT_EQ(h.desk.rpmPlanned(), 5);
  ASSERT_EQ(h.desk.rpmValues().size(), 5u);
  for (double rpm : h.desk.rpmValues()) EXPECT_NEAR(rpm, 310.0, 0.05);
  // 368640 ticks a turn at 300 rpm.
  EXPECT_EQ(h.program.RevolutionTimeUs,
            static_cast<uint32_t>(RevolutionTimeFromTicks(368640 * 300 / 310)));
}

TEST_F(RpmCheck, JitterGivesMinimumAndMaximumAndTheFastestTurnIsKept) {
  Harness h(Drive("@300rpm"));
  h.desk.QueueCommand(kCmdRpmCheck);
  h.Run();
  const Lines log = tooltest::CommandLogs(h.desk).at(0);
  const Lines speeds = SpeedLines(log);
  ASSERT_EQ(speeds.size(), 5u);
  auto byValue = [](const std::string& a, const std::string& b) {
    return std::atof(a.c_str()) < std::atof(b.c_str());
  };
  const std::string slowest = *std::min_element(speeds.begin(), speeds.end(), byValue);
  const std::string fastest = *std::max_element(speeds.begin(), speeds.end(), byValue);
  EXPECT_EQ(log[log.size() - 2], "RPM min: " + slowest + "; max: " + fastest);
  EXPECT_EQ(RpmText(static_cast<int32_t>(h.program.RevolutionTimeUs)), fastest);
  EXPECT_NEAR(h.program.RevolutionTimeUs, 200000, 70);
}

TEST_F(RpmCheck, ATurnTooSlowToTimeEndsTheSeriesAndTheNominalTimeIsBack) {
  // 240 rpm: 460800 ticks, $07 in the third byte.
  Harness h(Drive("@240rpm") + ":steady");
  h.program.RevolutionTimeUs = 193000;
  h.desk.QueueCommand(kCmdRpmCheck);
  h.Run();
  EXPECT_EQ(tooltest::CommandLogs(h.desk).at(0),
            (Lines{kHeadLine, "Error: RPM Timeout", "-- done --"}));
  EXPECT_EQ(h.program.RevolutionTimeUs, 200000u);
  EXPECT_TRUE(h.desk.rpmValues().empty()) << "a turn too slow to time is no speed to chart";
}

TEST_F(RpmCheck, NotForThe1581AndNotWithoutTheFastSerialDriver) {
  Harness h("8=1581,9=1541-II:" + disk_);
  h.desk.QueueCommand(kCmdRpmCheck);
  h.desk.QueueIdleEvent({EventKind::kDeviceSelected, 1});
  h.desk.QueueCommand(kCmdRpmAdjust);
  h.Run();
  const std::vector<Lines> logs = tooltest::CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].front(), "NOT APPLICABLE TO 1581");
  EXPECT_EQ(std::count(logs[0].begin(), logs[0].end(), kHeadLine), 0);
  EXPECT_FALSE(h.desk.Logged(kHeadLine));
  EXPECT_TRUE(h.desk.Logged("Not supported without 6522 Fast Serial Driver!"));
}

TEST_F(RpmCheck, RpmAdjustEndsWhenTheUserPressesReset) {
  Harness h(Drive("@302rpm") + ":steady");
  h.desk.QueueCommand(kCmdRpmAdjust);
  h.desk.ScheduleEvent(4'000'000, {EventKind::kResetButton, 0});
  h.Run();
  const Lines log = tooltest::CommandLogs(h.desk).at(0);
  const size_t made = SpeedLines(log).size();
  EXPECT_GE(made, 3u);
  EXPECT_LT(made, 20u);
  // The measurements made still give the summary.
  EXPECT_EQ(log[log.size() - 2], "RPM min: 302.0; max: 302.0");
  EXPECT_EQ(log.back(), "-- aborted --");
}

// Closes the window right after the speed line that follows `lines` others, while the series
// polls for events: the clock is asked for the time of every log line just before it is shown.
class CloseAfterSpeedLines final : public Clock {
 public:
  CloseAfterSpeedLines(VirtualClock& inner, ScriptedDesk& desk, size_t lines)
      : inner_(inner), desk_(desk), lines_(lines) {}
  void SleepMs(int milliseconds) override { inner_.SleepMs(milliseconds); }
  int64_t NowUs() const override { return inner_.NowUs(); }
  LocalTime Now() const override {
    if (!closed_ && SpeedLines(desk_.fullLogTexts()).size() == lines_) {
      desk_.ScheduleEvent(inner_.NowUs() + 500, {EventKind::kCloseRequest, 0});
      closed_ = true;
    }
    return inner_.Now();
  }

 private:
  VirtualClock& inner_;
  ScriptedDesk& desk_;
  size_t lines_;
  mutable bool closed_ = false;
};

TEST_F(RpmCheck, RpmAdjustEndsAtACloseRequestAndTheProgramGoesOn) {
  Harness h(Drive("@298rpm") + ":steady");
  CloseAfterSpeedLines clock(h.clock, h.desk, 3);
  Program program{h.desk, clock, h.ports};
  StartUp(program);
  h.desk.QueueCommand(kCmdRpmAdjust);
  h.desk.QueueCommand(kCmdRpmCheck);
  RunMainLoop(program);
  const std::vector<Lines> logs = tooltest::CommandLogs(h.desk);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(SpeedLines(logs[0]), Lines(4, "298.0"));
  EXPECT_EQ(logs[0][logs[0].size() - 2], "RPM min: 298.0; max: 298.0");
  EXPECT_EQ(logs[0].back(), "-- done --");
  EXPECT_EQ(SpeedLines(logs[1]).size(), 5u);
}

}  // namespace
}  // namespace dw
