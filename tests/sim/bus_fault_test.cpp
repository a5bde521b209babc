// Faults injected into the virtual bus, at once and at a given virtual moment.

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

constexpr int64_t kNoReplyWaitUs = 5'000'000;

TEST(BusFault, DrivePowersOffAndOnAtAGivenMoment) {
  TestLink link("sim:8=1541,9=1571");
  ASSERT_TRUE(link.bus().InjectAt(link.now() + 3'000'000, {FaultKind::kPowerOff, 9}));
  link.ErrorChannel(9);
  EXPECT_EQ(link.Exchange(OpenPacket(9, 15, "UI"), 16).status, 0x20) << "still on";
  link.SleepUntil(3'000'000);
  EXPECT_EQ(link.Exchange(OpenPacket(9, 15, "UI"), 16).status, 0x80);
  EXPECT_EQ(link.Exchange(OpenPacket(8, 15, "UI"), 16).status, 0x00) << "the other drive is on";

  link.bus().Inject({FaultKind::kPowerOn, 9});
  EXPECT_EQ(link.ErrorChannel(9), "73,CBM DOS V3.0 1571,00,00\r") << "a fresh start";
  EXPECT_FALSE(link.bus().Inject({FaultKind::kPowerOff, 10})) << "no drive 10";
}

TEST(BusFault, DriveSwitchedOffAfterTheResetHangsTheBusUntilTheNextReset) {
  TestLink link("sim:8=1541,9=1571");
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  link.bus().Inject({FaultKind::kPowerOff, 9});
  EXPECT_TRUE(link.Exchange(OpenPacket(9, 15, "UI"), 16, kNoReplyWaitUs).raw.empty());
  EXPECT_EQ(link.Exchange(OpenPacket(8, 15, "UI"), 16).status, 0x00) << "drive 8 still answers";
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  EXPECT_EQ(link.Exchange(OpenPacket(9, 15, "UI"), 16).status, 0x80) << "now known to be gone";
}

TEST(BusFault, UnpluggedAdapterFailsItsPortAndOpensNoOther) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kUnplug});
  uint8_t byte = 0;
  EXPECT_LT(link.port().BytesWaiting(), 0);
  EXPECT_LT(link.port().Write(&byte, 1), 0);
  EXPECT_LT(link.port().Read(&byte, 1), 0);
  link.port().SetBreak(true);
  EXPECT_FALSE(link.Reopen());

  link.bus().Inject({FaultKind::kReplug});
  ASSERT_TRUE(link.Reopen());
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
}

TEST(BusFault, UnplugDuringAReply) {
  TestLink link("sim:8=1541");
  link.BreakPulse();
  Bytes packet = ReadPacket(8, 15, 64);
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  link.bus().InjectAt(link.now() + 500, {FaultKind::kUnplug});
  link.Sleep(100'000);
  EXPECT_LT(link.port().BytesWaiting(), 0);
}

TEST(BusFault, EjectedDiskAndItsReturn) {
  std::string image = MakeImage("eject.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541:" + image);
  link.ErrorChannel(8);
  link.bus().Inject({FaultKind::kEject, 8});
  EXPECT_EQ(link.bus().disk(8), nullptr);
  link.Command(8, "I");
  EXPECT_NE(link.ErrorChannel(8).substr(0, 2), "00") << "no disk to initialise";
  link.bus().Inject({FaultKind::kInsert, 8});
  link.Command(8, "I");
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "00");
}

TEST(BusFault, SilentReplyNeverComesAndTheNextDoes) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kSilentReply});
  EXPECT_TRUE(link.Exchange(ClosePacket(8, 15), 16, kNoReplyWaitUs).raw.empty());
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).raw.size(), 20u);
}

TEST(BusFault, WrongEchoByte) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kWrongEcho});
  Reply reply = link.Exchange(ClosePacket(8, 15), 16);
  ASSERT_EQ(reply.raw.size(), 20u);
  EXPECT_NE(reply.echo, 0x02);
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).echo, 0x02);
}

TEST(BusFault, OversizeReplyFillsThePortBuffer) {
  TestLink link("sim:8=1541");
  link.bus().SetVisibleInputLimit(0);
  link.bus().Inject({FaultKind::kOversizeReply});
  link.BreakPulse();
  Bytes packet = ClosePacket(8, 15);
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  link.Sleep(2'000'000);
  EXPECT_EQ(link.port().BytesWaiting(), 40000) << "the port holds 40000, the rest is lost";
  EXPECT_GT(link.bus().lostBytes(), 0);
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).raw.size(), 20u) << "the next one is whole";
}

TEST(BusFault, TheSystemShowsFourKilobytesOfTheInputAndReleasesTheRestAsItIsRead) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kOversizeReply});
  link.BreakPulse();
  Bytes packet = ClosePacket(8, 15);
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  link.Sleep(2'000'000);
  EXPECT_EQ(link.port().BytesWaiting(), 4095);
  Bytes buffer(10000);
  EXPECT_EQ(link.port().Read(buffer.data(), 10000), 4095) << "no more than it shows";
  EXPECT_EQ(link.port().BytesWaiting(), 4095);
  int total = 4095;
  while (int got = link.port().Read(buffer.data(), 10000)) total += got;
  EXPECT_EQ(total, 40000);
}

TEST(BusFault, JunkArrivesInTheInputAtOnceAheadOfAReplyNotYetSent) {
  TestLink link("sim:8=1541:blank");
  link.bus().Inject({FaultKind::kJunkInInput});
  link.Sleep(1000);
  EXPECT_EQ(link.port().BytesWaiting(), 5);
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).raw.size(), 20u) << "a BREAK and the reply";

  // Noise on the line while the drive still works (an initialise takes a few turns) comes
  // ahead of the reply the adapter sends once the drive is done.
  link.Command(8, "I");
  link.BreakPulse();
  const Bytes read = ReadPacket(8, 15, 64);
  link.port().Write(read.data(), static_cast<int>(read.size()));
  link.Sleep(1000);
  link.bus().Inject({FaultKind::kJunkInInput});
  link.Sleep(2'000'000);
  const Bytes arrived = link.Drain();
  ASSERT_EQ(arrived.size(), 5u + 64u + 4u);
  EXPECT_EQ(Bytes(arrived.begin(), arrived.begin() + 5), (Bytes{0xFF, 0x13, 0x00, 0xA5, 0x5A}));
}

TEST(BusFault, ReplyFaultAtAMomentHitsTheFirstReplyAfterIt) {
  TestLink link("sim:8=1541");
  link.bus().InjectAt(1'000'000, {FaultKind::kWrongEcho});
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).echo, 0x02);
  link.SleepUntil(1'000'000);
  EXPECT_NE(link.Exchange(ClosePacket(8, 15), 16).echo, 0x02);
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).echo, 0x02);
}

TEST(BusFault, ParsedFromScenarioWords) {
  Fault fault;
  std::string error;
  ASSERT_TRUE(ParseFault("poweroff 9", &fault, &error));
  EXPECT_EQ(fault.kind, FaultKind::kPowerOff);
  EXPECT_EQ(fault.device, 9);
  ASSERT_TRUE(ParseFault("oversize", &fault, &error));
  EXPECT_EQ(fault.kind, FaultKind::kOversizeReply);
  EXPECT_FALSE(ParseFault("eject", &fault, &error));
  EXPECT_NE(error.find("device"), std::string::npos);
  EXPECT_FALSE(ParseFault("unplug 8", &fault, &error));
  EXPECT_FALSE(ParseFault("explode 8", &fault, &error));
  EXPECT_NE(error.find("unknown fault"), std::string::npos);
}

}  // namespace
}  // namespace sim::test
