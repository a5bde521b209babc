#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "testkit/scenario.h"

namespace dw {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string RunText(const std::string& text) {
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ParseScenario(text, &scenario, &error)) << error;
  std::ostringstream out;
  EXPECT_TRUE(RunScenario(scenario, out, &error)) << error;
  return out.str();
}

TEST(Scenario, RunsCommandsAndAnswersAndPrintsWhatWasShown) {
  std::string out = RunText(R"(
bus 8=1541-II                 # one drive, no disk
start 09:05:07
command 40
text "UJ"
command 35
button ok
command 28
)");
  std::vector<std::string> lines = Lines(out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "LOG 09:05:07 BUSLINK V2.0 found @ COM0");
  EXPECT_NE(out.find("LOG 09:05:07 40 tracks enabled\n"), std::string::npos);
  EXPECT_NE(out.find("ASK Send DOS command | Enter DOS command: -> \"UJ\"\n"), std::string::npos);
  EXPECT_NE(out.find("LOG 09:05:07 DOS command: \"UJ\"\n"), std::string::npos);
  EXPECT_NE(out.find("BOX Diskwright | Version 3.00"), std::string::npos);
  EXPECT_EQ(lines.back(), "PROGRESS 0");
}

TEST(Scenario, TimedResetAbortsAndTheFaultWordsReachTheBus) {
  std::string out = RunText(R"(
bus 8=1541
fault silent at 700ms
command 30 at 750ms
reset at 800ms
)");
  EXPECT_NE(out.find("-- aborted --"), std::string::npos);
  // The reconnection starts the log afresh with the connection report.
  std::vector<std::string> lines = Lines(out);
  EXPECT_GE(std::count(lines.begin(), lines.end(), "LOG 09:00:00 RESET IEC Bus"), 2);
}

TEST(Scenario, WaitHoldsBackTheStepsAfterItButNotTimedOnes) {
  std::string out = RunText(R"(
bus 8=1541-II
wait 10s
command 28
command 28 at 3s
)");
  const size_t timed = out.find("LOG 09:00:03 -- done --\n");
  EXPECT_NE(timed, std::string::npos) << out;
  EXPECT_NE(out.find("LOG 09:00:10 -- done --\n", timed), std::string::npos) << out;
}

TEST(Scenario, AFaultAfterAWaitHappensAtItsTime) {
  std::string out = RunText(R"(
bus 8=1541-II
wait 10s
fault poweroff 8
command 28
fault poweron 8 at 13s
)");
  // The drive is there at the start and hangs the bus once it is off.
  EXPECT_NE(out.find("LOG 09:00:00 Drive #8 present: 1541-II\n"), std::string::npos) << out;
  EXPECT_NE(out.find("LOG 09:00:12 Connection Timeout\n"), std::string::npos) << out;
  // The next connection cycle after it (1.5 s apart) finds it after its self-test.
  EXPECT_NE(out.find("LOG 09:00:14 Drive #8 present: 1541-II\n"), std::string::npos) << out;
}

TEST(Scenario, BadLinesAreToldByNumber) {
  Scenario scenario;
  std::string error;
  EXPECT_FALSE(ParseScenario("bus 8=1541\nfrobnicate 3\n", &scenario, &error));
  EXPECT_EQ(error, "line 2: unknown step \"frobnicate\"");
  EXPECT_FALSE(ParseScenario("command 31 at soon\n", &scenario, &error));
  EXPECT_EQ(error, "line 1: bad time \"soon\"");
  EXPECT_FALSE(ParseScenario("start 9\n", &scenario, &error));
}

TEST(Scenario, DurationsAcceptTheUsualUnits) {
  EXPECT_EQ(ParseDuration("1500ms"), 1'500'000);
  EXPECT_EQ(ParseDuration("1.5s"), 1'500'000);
  EXPECT_EQ(ParseDuration("20"), 20'000);
  EXPECT_EQ(ParseDuration("250us"), 250);
  EXPECT_EQ(ParseDuration("-3s"), -1);
  EXPECT_EQ(ParseDuration("s"), -1);
}

}  // namespace
}  // namespace dw
