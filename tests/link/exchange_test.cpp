#include <gtest/gtest.h>

#include "link/exchange.h"
#include "link_test_support.h"
#include "shell/main_loop.h"
#include "testkit/harness.h"

namespace dw {
namespace {

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    h.Connect();
    ASSERT_EQ(h.program.LinkState, 0);
    h.desk.ClearLog();
  }
  void Inject(sim::FaultKind kind, int device = 0) { ASSERT_TRUE(h.bus->Inject({kind, device})); }
  // Reads the error channel of drive 8 and returns the data length.
  int ReadStatus() { return ReadChannel(h.program, 15, 64, 2); }

  Harness h{"8=1541-II"};
};

TEST_F(Exchange, ReplyTrailerGivesLengthStatusAndData) {
  int length = ReadStatus();
  ASSERT_GT(length, 4);
  EXPECT_EQ(h.program.IecStatus, 0x40);  // the message ends with EOI
  ASSERT_EQ(static_cast<int>(h.program.ReplyData.size()), length);
  EXPECT_EQ(h.program.ReplyData[static_cast<size_t>(length) - 1], '\r');
}

TEST_F(Exchange, TimeoutLogsOnceStopsTheLinkAndTheNextPassReconnects) {
  Inject(sim::FaultKind::kSilentReply);
  int64_t start = h.clock.NowUs();
  EXPECT_EQ(ReadStatus(), 0);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{"Connection Timeout"}));
  EXPECT_EQ(h.program.LinkState, kLinkTimeout);
  // Two seconds counted in passes of 1 ms.
  EXPECT_GE(h.clock.NowUs() - start, 2'000'000);
  EXPECT_LT(h.clock.NowUs() - start, 2'100'000);

  // Every later exchange is skipped without touching the port.
  int64_t before = h.clock.NowUs();
  EXPECT_EQ(ReadStatus(), 0);
  CloseChannel(h.program, 15);
  EXPECT_EQ(h.clock.NowUs(), before);
  EXPECT_EQ(h.desk.logTexts().size(), 1u);

  // The main loop reconnects on its next pass.
  h.desk.QueueCommand(kCmdFortyTracks);
  h.Run();
  std::vector<std::string> log = h.desk.logTexts();
  EXPECT_EQ(log.front(), "BUSLINK V2.0 found @ COM0");
  EXPECT_TRUE((std::find(log.begin(), log.end(), "40 tracks enabled") != log.end()));
}

TEST_F(Exchange, WrongEchoIsAResponseErrorThatLeavesStateAlone) {
  uint8_t statusBefore = h.program.IecStatus;
  Inject(sim::FaultKind::kWrongEcho);
  EXPECT_EQ(ReadStatus(), 0);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{"Response Error"}));
  EXPECT_EQ(h.program.LinkState, 0);
  EXPECT_EQ(h.program.IecStatus, statusBefore);
}

TEST_F(Exchange, OversizeReplyIsRefusedUnreadAndDiscardedByTheNextExchange) {
  Inject(sim::FaultKind::kOversizeReply);
  std::vector<uint8_t> before = h.program.ReplyData;
  EXPECT_EQ(ReadStatus(), 0);
  EXPECT_TRUE(h.desk.log().empty());
  EXPECT_EQ(h.program.ReplyData, before);
  EXPECT_EQ(h.program.LinkState, 0);
  // The next exchange drops what is left of the flood and works.
  EXPECT_GT(ReadStatus(), 4);
  EXPECT_EQ(h.program.IecStatus, 0x40);
}

TEST_F(Exchange, JunkWaitingInTheInputIsDroppedBeforeThePacketGoesOut) {
  Inject(sim::FaultKind::kJunkInInput);
  h.clock.SleepMs(1);
  int length = ReadStatus();
  ASSERT_GT(length, 4);
  EXPECT_EQ(std::string(h.program.ReplyData.begin(), h.program.ReplyData.end()), "00, OK,00,00\r");
  EXPECT_TRUE(h.desk.log().empty());
}

TEST(ExchangePadding, PaddedRepliesKeepTheirStatusAndDataAndFindNoPhantomDrives) {
  Harness h("8=1541-II,10=1571");
  h.bus->SetReplyPadding(16);
  h.Connect();
  // Drive 9 and 11 answer "not present" in padded replies; they stay out of the selector.
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"8: 1541-II", "10: 1571"}));
  EXPECT_EQ(h.program.LinkState, 0);

  // The error channel, asked for 64 bytes, comes in an area of 80: the data are the first L.
  h.program.CurrentDevice = 8;
  int length = ReadChannel(h.program, 15, 64, 2);
  ASSERT_GT(length, 4);
  EXPECT_EQ(static_cast<int>(h.program.ReplyData.size()), length);
  EXPECT_EQ(h.program.ReplyData.back(), '\r');

  // A bus reset with every drive switched off: an area of 16 where none was asked for, and
  // the status that tells the user to switch the drives on.
  ASSERT_TRUE(h.bus->Inject({sim::FaultKind::kPowerOff, 8}));
  ASSERT_TRUE(h.bus->Inject({sim::FaultKind::kPowerOff, 10}));
  ResetBus(h.program);
  EXPECT_EQ(h.program.IecStatus, 0xFF);
}

// Replies longer than the 4095 bytes a Linux port shows at a time arrive whole.
TEST(ExchangeLongReply, ReadsOfEightAndTenThousandBytesPassTheSystemInputQueue) {
  testing_support::ImageFolder folder;
  std::vector<uint8_t> file(20000);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7 + i / 251);
  std::string path = folder.WithFile("long.d64", "long", file);
  REQUIRE_IMAGE(path);
  Harness h("8=1541-II:" + path);
  h.Connect();
  h.desk.ClearLog();
  OpenChannel(h.program, 0, u"LONG");
  ASSERT_EQ(h.program.LinkState, 0);
  int64_t start = h.clock.NowUs();
  ASSERT_EQ(ReadChannel(h.program, 0, 8000, 200), 8000);
  EXPECT_EQ(h.program.ReplyData, std::vector<uint8_t>(file.begin(), file.begin() + 8000));
  ASSERT_EQ(ReadChannel(h.program, 0, 10000, 200), 10000);
  EXPECT_EQ(h.program.ReplyData, std::vector<uint8_t>(file.begin() + 8000, file.begin() + 18000));
  EXPECT_EQ(h.program.LinkState, 0);
  EXPECT_TRUE(h.desk.log().empty());
  // Far from the 200 s a wait for a whole reply in the queue would take.
  EXPECT_LT(h.clock.NowUs() - start, 60'000'000);
}

TEST_F(Exchange, ResetDuringAWaitAbortsWithoutALogLine) {
  h.desk.ScheduleEvent(h.clock.NowUs() + 500, {EventKind::kResetButton, 0});
  Inject(sim::FaultKind::kSilentReply);
  int64_t start = h.clock.NowUs();
  EXPECT_EQ(ReadStatus(), 0);
  EXPECT_EQ(h.program.LinkState, kLinkAborted);
  EXPECT_TRUE(h.desk.log().empty());
  EXPECT_LT(h.clock.NowUs() - start, 10'000);
}

TEST_F(Exchange, DeviceNotPresentIsLoggedAndMarkedButDataStillReturned) {
  h.program.CurrentDevice = 9;
  OpenChannel(h.program, 15, u"I");
  EXPECT_EQ(h.desk.logTexts(),
            (std::vector<std::string>{"Drive #9 ERROR! ---> IEC Bus: DEVICE NOT PRESENT"}));
  EXPECT_EQ(h.program.LinkState, kLinkIecError);
  // Bit 0 does not stop later exchanges.
  h.program.CurrentDevice = 8;
  EXPECT_GT(ReadStatus(), 0);
}

TEST_F(Exchange, CloseRequestInsideAWaitEndsTheProgramAtOnce) {
  h.desk.ScheduleEvent(h.clock.NowUs() + 300, {EventKind::kCloseRequest, 0});
  Inject(sim::FaultKind::kSilentReply);
  EXPECT_THROW(ReadStatus(), ProgramEnded);
  EXPECT_TRUE(h.desk.closed());
  EXPECT_EQ(h.program.LinkPort, nullptr);
}

TEST_F(Exchange, UnpluggedAdapterEndsTheWaitAtOnceAndTheNextPassReconnects) {
  Inject(sim::FaultKind::kUnplug);
  int64_t start = h.clock.NowUs();
  // A close waits up to 200 s for its reply; a port that fails gives none.
  CloseChannel(h.program, 15);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{"BUSLINK V2.0 adapter disconnected"}));
  EXPECT_EQ(h.program.LinkState, kLinkTimeout);
  EXPECT_LT(h.clock.NowUs() - start, 10'000);
  EXPECT_EQ(ReadStatus(), 0);

  Inject(sim::FaultKind::kReplug);
  h.desk.QueueCommand(kCmdFortyTracks);
  h.Run();
  EXPECT_EQ(h.desk.logTexts().front(), "BUSLINK V2.0 found @ COM0");
}

TEST_F(Exchange, WriteOfMoreThanTheLengthByteHoldsIsRefusedAndSendsNothing) {
  int64_t before = h.clock.NowUs();
  WriteChannel(h.program, 2, 252);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{"ERROR - IEC data too long"}));
  EXPECT_EQ(h.clock.NowUs(), before);
  WriteChannel(h.program, 2, 251);
  EXPECT_EQ(h.program.CommandPacket[1], 255);
}

TEST_F(Exchange, LongCommandsOnChannel15AreRefusedOthersAreCut) {
  IecString text(41, u'A');
  int64_t before = h.clock.NowUs();
  SendIecString(h.program, 15, text, false, 2);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{"ERROR - IEC string too long"}));
  EXPECT_EQ(h.clock.NowUs(), before);  // nothing sent

  SendIecString(h.program, 2, text, false, 2);
  EXPECT_EQ(h.program.CommandPacket[1], 44);
  EXPECT_EQ(h.program.CommandPacket[3], 2);
}

TEST_F(Exchange, CharacterOfCode256IsSentAsZeroAndCode0EndsTheText) {
  SendIecString(h.program, 15, IecString(u"M-R\x12") + kIecZero + u"\x02", false, 2);
  EXPECT_EQ(h.program.CommandPacket[1], 4 + 6);
  EXPECT_EQ(h.program.CommandPacket[8], 0x00);
  EXPECT_EQ(h.program.CommandPacket[9], 0x02);

  SendIecString(h.program, 15, IecString(u"AB\0CD", 5), false, 2);
  EXPECT_EQ(h.program.CommandPacket[1], 4 + 2);
}

TEST_F(Exchange, OpenAnsweredInFastSerialModeReadsAsSuccess) {
  Harness fast("8=1571");
  fast.Connect();
  OpenChannel(fast.program, 15, u"I");
  EXPECT_EQ(fast.program.IecStatus, 0);
  EXPECT_EQ(fast.program.Status20Flag, 1);
  OpenChannel(h.program, 15, u"I");
  EXPECT_EQ(h.program.Status20Flag, 0);
}

TEST_F(Exchange, ErrorChannelCodesDecideWhatIsLogged) {
  SendIecString(h.program, 15, u"X", false, 2);
  CloseChannel(h.program, 15);
  std::string text = ReadErrorChannel(h.program);
  EXPECT_EQ(text.substr(0, 3), "31,");
  EXPECT_EQ(h.program.DosErrorCode, 31);
  EXPECT_EQ(h.program.DosErrorFlag, 1);
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{text}));
  EXPECT_EQ(h.desk.statusText(), text);

  h.desk.ClearLog();
  text = ReadErrorChannel(h.program);
  EXPECT_EQ(text, "00, OK,00,00");  // the carriage return is dropped
  EXPECT_EQ(h.program.DosErrorFlag, 0);
  EXPECT_TRUE(h.desk.log().empty());
}

}  // namespace
}  // namespace dw
