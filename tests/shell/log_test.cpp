#include <gtest/gtest.h>

#include "core/log.h"
#include "testkit/harness.h"
#include "testkit/scripted_desk.h"

namespace dw {
namespace {

// No port answers: there is no adapter.
using NoPorts = VirtualPortOpener;

class LogTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  ScriptedDesk desk{clock};
  NoPorts ports;
  Program p{desk, clock, ports};
};

TEST_F(LogTest, StampsTextWithTwoDigitTimeAndOneBlank) {
  clock.SetStartTime(9, 5, 7);
  LogLine(p, "-- done --");
  clock.SleepMs(3600 * 1000 + 61 * 1000);
  LogLine(p, "x");
  ASSERT_EQ(desk.log().size(), 2u);
  EXPECT_EQ(desk.log()[0], "09:05:07 -- done --");
  EXPECT_EQ(desk.log()[1], "10:06:08 x");
}

TEST_F(LogTest, EmptyTextGivesEmptyLineWithoutStamp) {
  LogLine(p, "");
  ASSERT_EQ(desk.log().size(), 1u);
  EXPECT_EQ(desk.log()[0], "");
}

TEST_F(LogTest, LoggingDrainsPendingEventsButKeepsLaterOnes) {
  desk.ScheduleCommand(0, kCmdAbout);
  desk.ScheduleCommand(5000, kCmdQuit);
  LogLine(p, "working");
  // The pending click is dropped; the one not yet made stays for later.
  EXPECT_EQ(desk.pendingEvents(), 1u);
  EXPECT_FALSE(desk.TakeEvent().has_value());
}

TEST_F(LogTest, ResetClickDrainedWhileLoggingLeavesTheButtonDown) {
  desk.ScheduleEvent(0, {EventKind::kResetButton, 0});
  LogLine(p, "working");
  EXPECT_TRUE(desk.IsResetDown());
}

}  // namespace
}  // namespace dw
