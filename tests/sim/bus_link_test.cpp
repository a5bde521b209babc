// The serial line to the virtual adapter: the banner, packet framing, and the time bytes take.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

std::string WithoutZeros(const Bytes& bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    if (byte != 0) text.push_back(static_cast<char>(byte));
  }
  return text;
}

TEST(BusBanner, AnswersOnlyADoubleBreak) {
  TestLink link("sim:8=1541");
  link.BreakPulse();
  link.Sleep(40000);
  EXPECT_EQ(link.port().BytesWaiting(), 0) << "one BREAK starts a packet, it is not answered";

  link.BreakPulse();
  link.BreakPulse();
  link.Sleep(40000);
  Bytes banner = link.Drain();
  EXPECT_NE(WithoutZeros(banner).find("BUSLINK V2.0"), std::string::npos);
  EXPECT_GT(std::count(banner.begin(), banner.end(), 0), 1) << "zero bytes around the text";
  EXPECT_GT(WithoutZeros(banner).size(), std::string("BUSLINK V2.0").size());
}

TEST(BusBanner, BreaksFarApartOrWithBytesBetweenAreNoDoubleBreak) {
  TestLink link("sim:8=1541");
  link.BreakPulse();
  link.Sleep(30000);
  link.BreakPulse();
  link.Sleep(40000);
  EXPECT_EQ(link.port().BytesWaiting(), 0);

  link.BreakPulse();
  uint8_t junk = 0x55;
  link.port().Write(&junk, 1);
  link.BreakPulse();
  link.Sleep(40000);
  EXPECT_EQ(link.port().BytesWaiting(), 0);
}

TEST(BusBanner, ComesAgainOnAReopenedPort) {
  TestLink link("sim:8=1541");
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "73");
  link.ClosePort();
  ASSERT_TRUE(link.Reopen());
  EXPECT_EQ(link.bus().OpenPort(), nullptr) << "a serial port opens once";
  link.BreakPulse();
  link.BreakPulse();
  link.Sleep(40000);
  EXPECT_NE(WithoutZeros(link.Drain()).find("BUSLINK V2.0"), std::string::npos);
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "00") << "the drives outlive the port";
}

TEST(BusFraming, ABreakStopsAReplyStillComing) {
  TestLink link("sim:8=1581");
  link.BreakPulse();
  // 32 KB: 1.3 s over the fast serial bus, then 0.7 s on the line.
  Bytes rom{0x11, 0x06, 8, 0x0F, 0x80, 0x80};
  link.port().Write(rom.data(), static_cast<int>(rom.size()));
  link.Sleep(1'500'000);
  int before = link.port().BytesWaiting();
  EXPECT_GT(before, 0);
  EXPECT_LT(before, 32768);
  link.BreakPulse();
  int after = link.port().BytesWaiting();
  EXPECT_LE(after - before, 1 + 1000 * 460800 / 10 / 1'000'000) << "at most 1 ms more";
  link.Sleep(2'000'000);
  EXPECT_EQ(link.port().BytesWaiting(), after);
}

TEST(BusFraming, BytesWithoutABreakAreIgnored) {
  TestLink link("sim:8=1541");
  Bytes reset = ResetPacket();
  link.port().Write(reset.data(), 2);
  link.Sleep(1'000'000);
  EXPECT_EQ(link.port().BytesWaiting(), 0);
  EXPECT_EQ(link.Exchange(reset, 0).status, 0x00) << "the same packet after a BREAK is answered";
}

TEST(BusTiming, ReplyBytesArriveAtTheLinkRate) {
  TestLink link("sim:8=1541");
  link.BreakPulse();
  Bytes packet = ReadPacket(8, 15, 64);
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  int64_t sent = link.now();
  while (link.port().BytesWaiting() == 0 && link.now() - sent < 1'000'000) link.Sleep(1);
  int64_t first = link.now();
  ASSERT_LT(first - sent, 50'000) << "the error channel answers within a few ms";
  // Half way the port holds about half of them.
  link.Sleep(716);  // 33 byte times
  EXPECT_NEAR(link.port().BytesWaiting(), 34, 1);
  while (link.port().BytesWaiting() < 68 && link.now() - first < 10'000) link.Sleep(1);
  int64_t last = link.now();
  // 67 more bytes of 10 bits at 460800 baud after the first: 1454 us.
  EXPECT_NEAR(static_cast<double>(last - first), 67 * 10e6 / 460800, 2.0);
  link.Sleep(1'000'000);
  EXPECT_EQ(link.port().BytesWaiting(), 68) << "and never more than the reply";
}

// Microseconds from sending the packet until n + 4 bytes have arrived.
int64_t ReplyTime(TestLink& link, const Bytes& packet, int n) {
  link.BreakPulse();
  link.Drain();
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  int64_t sent = link.now();
  while (link.port().BytesWaiting() < n + 4) link.Sleep(100);
  return link.now() - sent;
}

TEST(BusTiming, CommandsRunAfterTheBusIsReleased) {
  TestLink link("sim:8=1541:blank,9=1541@200rpm:blank");
  // The drive takes the command at once and works on it afterwards: the motor runs up (0.5 s),
  // then the seek and the reads (a few revolutions of 200 ms at 300 rpm, 300 ms at 200 rpm).
  // The next operation waits.
  // Right after power-on the DOS would first have to find the head (a bump, on a blank disk).
  for (int device : {8, 9}) ReplyTime(link, WritePacket(device, 15, ToBytes("I")), 16);
  link.Sleep(2'000'000);
  int64_t taken = ReplyTime(link, WritePacket(8, 15, ToBytes("I")), 16);
  int64_t at300 = ReplyTime(link, ReadPacket(8, 15, 64), 64);
  // While the motor runs on, the next command needs no run-up.
  const int64_t again = ReplyTime(link, WritePacket(8, 15, ToBytes("I")), 16) +
                        ReplyTime(link, ReadPacket(8, 15, 64), 64);
  EXPECT_NEAR(static_cast<double>(at300 - again), 500'000, 20'000);
  ReplyTime(link, WritePacket(9, 15, ToBytes("I")), 16);
  int64_t at200 = ReplyTime(link, ReadPacket(9, 15, 64), 64);
  EXPECT_LT(taken, 20'000);
  EXPECT_GE(at300, 500'000 + 400'000);
  EXPECT_LE(at300, 500'000 + 1'000'000);
  EXPECT_NEAR(static_cast<double>(at200 - 500'000) / static_cast<double>(at300 - 500'000), 1.5,
              0.05);

  // Other drives do not wait for a busy one.
  ReplyTime(link, WritePacket(8, 15, ToBytes("I")), 16);
  EXPECT_LT(ReplyTime(link, ReadPacket(9, 15, 64), 64), 50'000);
  // Nor does the busy drive once its work is done.
  link.Sleep(2'000'000);
  EXPECT_LT(ReplyTime(link, ReadPacket(8, 15, 64), 64), 50'000);
  // Reading drive memory touches no disk: a few ms.
  ReplyTime(link, WritePacket(8, 15, ToBytes("M-R\x40\xFF")), 16);
  EXPECT_LT(ReplyTime(link, ReadPacket(8, 15, 64), 64), 50'000);
  // A drive the bus reset restarted tests itself first (0.3 s) and then needs its motor again.
  EXPECT_NEAR(static_cast<double>(ReplyTime(link, ResetPacket(), 0)), 100'000, 2'000);
  EXPECT_NEAR(static_cast<double>(ReplyTime(link, ReadPacket(8, 15, 64), 64)), 300'000, 20'000);
  // Its DOS no longer knows the head's track either: on a blank disk it bumps the head to
  // track 1 (about 0.3 s) and steps back to 18.
  ReplyTime(link, WritePacket(8, 15, ToBytes("I")), 16);
  const int64_t afterReset = ReplyTime(link, ReadPacket(8, 15, 64), 64);
  EXPECT_GE(afterReset, at300 + 300'000);
  EXPECT_LE(afterReset, at300 + 600'000);
  // And so does a drive restarted by "UJ".
  ReplyTime(link, WritePacket(8, 15, ToBytes("UJ")), 16);
  EXPECT_NEAR(static_cast<double>(ReplyTime(link, ReadPacket(8, 15, 64), 64)), 300'000, 20'000);
}

}  // namespace
}  // namespace sim::test
