#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "link_test_support.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using testing_support::ImageFolder;

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs the DOS command with the given answer and returns the log of that command.
std::vector<std::string> RunDosCommand(Harness& h, std::optional<std::string> answer) {
  h.desk.QueueText(std::move(answer));
  h.desk.QueueCommand(kCmdDosCommand);
  h.Run();
  std::vector<std::string> log = h.desk.logTexts();
  auto welcome = std::find(log.begin(), log.end(), "Welcome Diskwright user");
  return std::vector<std::string>(welcome + 1, log.end());
}

TEST(DosCommand, AcceptedCommandLogsOnlyItselfAndShowsTheAnswer) {
  ImageFolder folder;
  std::string path = folder.Blank("work.d64");
  REQUIRE_IMAGE(path);
  Harness h("8=1541-II:" + path);
  EXPECT_EQ(RunDosCommand(h, "I"), (std::vector<std::string>{"DOS command: \"I\"", "-- done --"}));
  ASSERT_EQ(h.desk.textRequests().size(), 1u);
  EXPECT_EQ(h.desk.textRequests()[0].title, "Send DOS command");
  EXPECT_EQ(h.desk.textRequests()[0].prompt, "Enter DOS command:");
  EXPECT_EQ(h.desk.statusText(), "00, OK,00,00");
}

TEST(DosCommand, RejectedCommandLogsTheDrivesErrorLine) {
  Harness h("8=1541-II");
  std::vector<std::string> log = RunDosCommand(h, "Q");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "DOS command: \"Q\"");
  EXPECT_EQ(log[1].substr(0, 3), "31,");
  // A DOS error is not a link error: the command still ends normally.
  EXPECT_EQ(log[2], "-- done --");
}

TEST(DosCommand, ACommandLongerThanTheAdapterTakesIsRefusedAndTheDiskKeepsItsFiles) {
  ImageFolder folder;
  std::string path = folder.WithFile("work.d64", "game", std::vector<uint8_t>(3000, 0x5A));
  REQUIRE_IMAGE(path);
  const std::string before = Bytes(path);
  Harness h("8=1541-II:" + path);
  // 42 characters: cut to 40 it would be a format without an ID.
  std::string entry = "N0:" + std::string(37, 'N') + ",ZZ";
  EXPECT_EQ(RunDosCommand(h, entry),
            (std::vector<std::string>{"DOS command: \"" + entry + "\"",
                                      "ERROR - IEC string too long", "-- aborted --"}));
  std::string saved = path + ".after.d64";
  std::string error;
  ASSERT_TRUE(h.bus->SaveDisk(8, saved, &error)) << error;
  EXPECT_TRUE(Bytes(saved) == before) << "the disk was changed";
}

TEST(DosCommand, TypedCharacterWithZeroLowBitsIsSentAsAZeroByteNotTheEnd) {
  Harness h("8=1541-II");
  // "M-W" to $0500, one byte $AB: the address's low byte is the zero.
  std::string entry = std::string("M-W") + '\x00' + "\x05\x01\xAB";
  EXPECT_EQ(RunDosCommand(h, entry).back(), "-- done --");
  EXPECT_EQ(h.bus->drive(8)->memory().Read(0x0500), 0xAB);
}

TEST(DosCommand, EmptyOrCancelledEntrySendsNothing) {
  Harness h("8=1541-II");
  EXPECT_EQ(RunDosCommand(h, std::nullopt), (std::vector<std::string>{"-- done --"}));
  Harness h2("8=1541-II");
  EXPECT_EQ(RunDosCommand(h2, ""), (std::vector<std::string>{"-- done --"}));
}

TEST(DosCommand, DriveSwitchedOffBeforeTheCommandAbortsAndReconnects) {
  Harness h("8=1541-II,9=1571");
  ASSERT_TRUE(h.bus->InjectAt(1'000'000, {sim::FaultKind::kPowerOff, 8}));
  h.desk.ScheduleEvent(2'000'000, {EventKind::kCommand, kCmdDosCommand});
  h.desk.QueueCommand(kCmdFortyTracks);
  h.Run();
  std::vector<std::string> full = h.desk.fullLogTexts();
  auto aborted = std::find(full.begin(), full.end(), "-- aborted --");
  ASSERT_NE(aborted, full.end());
  // The drive that was switched off holds the bus: the adapter never answers.
  EXPECT_EQ(*(aborted - 1), "Connection Timeout");
  EXPECT_TRUE(h.desk.textRequests().empty());  // the command itself never ran
  // The next pass reconnects: a fresh log that finds only drive 9.
  std::vector<std::string> log = h.desk.logTexts();
  EXPECT_EQ(log.front(), "BUSLINK V2.0 found @ COM0");
  EXPECT_NE(std::find(log.begin(), log.end(), "Drive #8 ERROR! ---> IEC Bus: DEVICE NOT PRESENT"),
            log.end());
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"9: 1571"}));
}

TEST(ErrorInfo, ListsTheGcrTextsOnA1541) {
  Harness h("8=1541");
  h.desk.QueueCommand(kCmdErrorInfo);
  h.Run();
  std::vector<std::string> log = h.desk.logTexts();
  auto first = std::find(log.begin(), log.end(), "DOS low level errors for current device:");
  ASSERT_NE(first, log.end());
  ASSERT_EQ(log.end() - first, 18);  // 17 lines and "-- done --"
  EXPECT_EQ(first[1], "#0: OK");
  EXPECT_EQ(first[4], "#3: NO SYNC");
  EXPECT_EQ(first[11], "#A: DATA EXTENDS INTO NEXT BLOCK");
  EXPECT_EQ(first[16], "#F: NO DISK PRESENT");
  EXPECT_EQ(first[17], "-- done --");
}

TEST(ErrorInfo, ListsTheMfmTextsOnA1581) {
  Harness h("8=1581");
  h.desk.QueueCommand(kCmdErrorInfo);
  h.Run();
  std::vector<std::string> log = h.desk.logTexts();
  auto first = std::find(log.begin(), log.end(), "DOS low level errors for current device:");
  ASSERT_NE(first, log.end());
  ASSERT_EQ(log.end() - first, 18);
  EXPECT_EQ(first[4], "#3: NO ADDRESS MARK");
  EXPECT_EQ(first[11], "#A: OK");
  EXPECT_EQ(first[13], "#C: DISK FORMAT NOT LOGICAL");
  EXPECT_EQ(first[16], "#F: NO DRIVE PRESENT");
}

}  // namespace
}  // namespace dw
