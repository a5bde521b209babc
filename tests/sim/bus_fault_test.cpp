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

// $04: the device never answered the adapter, which did nothing with it; $08: the adapter's wait
// for the drive's bytes ran out halfway, and it sends the half that came.
TEST(BusFault, TheAdapterAnswersAReadWithStatusFourOrEight) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kNoAnswer});
  const Reply none = link.ReadChannel(8, 15, 64);
  EXPECT_EQ(none.status, 0x04);
  EXPECT_EQ(none.length, 0);
  EXPECT_EQ(none.raw.size(), 68u);
  link.bus().Inject({FaultKind::kReadTimeout});
  const Reply half = link.ReadChannel(8, 15, 64);
  EXPECT_EQ(half.status, 0x08);
  EXPECT_EQ(std::string(half.data.begin(), half.data.end()), "73,CBM DOS V2")
      << "13 of the 27 bytes of the power-on message";
  EXPECT_EQ(link.ReadChannel(8, 15, 64).status, 0x40) << "one reply only";
}

// An adapter still in a long wait on the IEC bus (after a drive that vanished, say) sees the
// banner request only when the wait is over, and takes no packet before.
TEST(BusFault, AnAdapterInALongBusWaitAnswersTheBannerWhenTheWaitEnds) {
  TestLink link("sim:8=1541");
  link.bus().Inject({FaultKind::kBusWait, 0, 0, 0.5, 1'500'000});
  const int64_t asked = link.now();
  link.BreakPulse();
  link.BreakPulse();
  link.Sleep(40'000);
  EXPECT_EQ(link.port().BytesWaiting(), 0);
  EXPECT_TRUE(link.Exchange(ReadPacket(8, 15, 64), 64, 1'000'000).raw.empty());
  // Asked again, it answers when the wait is over.
  link.BreakPulse();
  link.BreakPulse();
  link.SleepUntil(asked + 1'499'000);
  EXPECT_EQ(link.port().BytesWaiting(), 0);
  link.SleepUntil(asked + 1'510'000);
  const Bytes banner = link.Drain();
  EXPECT_NE(std::string(banner.begin(), banner.end()).find("BUSLINK V2.0"), std::string::npos);
  EXPECT_EQ(link.ReadChannel(8, 15, 64).status, 0x40);
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
  ASSERT_TRUE(ParseFault("pullout 8 0.3", &fault, &error)) << error;
  EXPECT_EQ(fault.fraction, 0.3);
  ASSERT_TRUE(ParseFault("stuckwrite 9", &fault, &error)) << error;
  EXPECT_EQ(fault.kind, FaultKind::kStuckWrite);
  EXPECT_EQ(fault.fraction, 0.5);
  ASSERT_TRUE(ParseFault("buswait 2000", &fault, &error)) << error;
  EXPECT_EQ(fault.durationUs, 2'000'000);
  ASSERT_TRUE(ParseFault("readtimeout", &fault, &error)) << error;
  ASSERT_TRUE(ParseFault("notpresent", &fault, &error)) << error;
  EXPECT_FALSE(ParseFault("buswait 2001", &fault, &error));
  EXPECT_FALSE(ParseFault("pullout 8 1", &fault, &error));
  EXPECT_EQ(error,
            "fault pullout needs a device number and may take the fraction of the work (0 up to 1) "
            "where it strikes, e.g. \"pullout 8 0.3\"");
}

}  // namespace
}  // namespace sim::test
