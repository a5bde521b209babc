// Packets and replies of the virtual adapter: the reply layout, IEC statuses, malformed packets,
// and the opcodes that drive code and burst transfers use.

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

constexpr int64_t kNoReplyWaitUs = 5'000'000;

TEST(BusReply, ReadIsPaddedToTheCountWithLTellingTheData) {
  TestLink link("sim:8=1541-II");
  Reply reply = link.ReadChannel(8, 15, 64);
  std::string message = "73,CBM DOS V2.6 1541,00,00\r";
  ASSERT_EQ(reply.raw.size(), 64u + 4);
  EXPECT_EQ(reply.length, static_cast<int>(message.size()));
  EXPECT_EQ(std::string(reply.data.begin(), reply.data.end()), message);
  EXPECT_EQ(reply.status, 0x40) << "the carriage return came with EOI";
  EXPECT_EQ(reply.echo, 0x04);
  for (size_t i = message.size(); i < 64; ++i) EXPECT_EQ(reply.raw[i], 0) << "padding at " << i;

  // A short read leaves the rest of the message for the next one, without EOI.
  Reply part = link.ReadChannel(8, 15, 3);
  EXPECT_EQ(std::string(part.data.begin(), part.data.end()), "00,");
  EXPECT_EQ(part.status, 0x00);
  Reply rest = link.ReadChannel(8, 15, 64);
  EXPECT_EQ(std::string(rest.data.begin(), rest.data.end()), " OK,00,00\r");
  EXPECT_EQ(rest.status, 0x40);
}

TEST(BusReply, OpenCloseWriteAnswerSixteenBytesAndAStatus) {
  TestLink link("sim:8=1541,9=1571,10=1581");
  for (int device : {8, 9, 10}) {
    Reply open = link.Exchange(OpenPacket(device, 15, "I"), 16);
    EXPECT_EQ(open.raw.size(), 20u);
    EXPECT_EQ(open.length, 0);
    EXPECT_EQ(open.echo, 0x01);
    EXPECT_EQ(open.status, device == 8 ? 0x00 : 0x20)
        << "fast serial drives answer an OPEN with $20";
    Reply write = link.Command(device, "UI");
    EXPECT_EQ(write.raw.size(), 20u);
    EXPECT_EQ(write.status, 0x00);
    EXPECT_EQ(write.echo, 0x03);
    Reply close = link.Exchange(ClosePacket(device, 15), 16);
    EXPECT_EQ(close.raw.size(), 20u);
    EXPECT_EQ(close.status, 0x00);
    EXPECT_EQ(close.echo, 0x02);
  }
}

TEST(BusReply, MissingOrSwitchedOffDriveIsNotPresent) {
  TestLink link("sim:8=1541,9=1541:off");
  for (int device : {9, 10, 30}) {
    Reply open = link.Exchange(OpenPacket(device, 15, "M-R\x40\xFF"), 16);
    EXPECT_EQ(open.status, 0x80) << device;
    EXPECT_EQ(open.raw.size(), 20u);
    Reply read = link.ReadChannel(device, 15, 64);
    EXPECT_EQ(read.status, 0x80);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(read.raw.size(), 68u);
  }
}

TEST(BusReply, BusResetTellsWhetherAnyDriveIsOn) {
  TestLink some("sim:8=1541:off,9=1581");
  Reply reply = some.Exchange(ResetPacket(), 0);
  EXPECT_EQ(reply.raw, (Bytes{0, 0, 0x00, 0xFF}));

  TestLink none("sim:8=1541:off");
  EXPECT_EQ(none.Exchange(ResetPacket(), 0).raw, (Bytes{0, 0, 0xFF, 0xFF}));
  TestLink empty("sim:");
  EXPECT_EQ(empty.Exchange(ResetPacket(), 0).status, 0xFF);

  // The reset restarts the drives: the power-on message is back.
  some.ErrorChannel(9);
  EXPECT_EQ(some.ErrorChannel(9).substr(0, 2), "00");
  some.Exchange(ResetPacket(), 0);
  EXPECT_EQ(some.ErrorChannel(9).substr(0, 2), "73");
}

TEST(BusPacket, WrongLengthByteOrUnknownOpcodeGetsNoReply) {
  TestLink link("sim:8=1541");
  std::vector<Bytes> bad = {
      {0x02, 0x05, 8, 15},        // says 5, 4 arrived
      {0x02, 0x04, 8, 15, 0x00},  // says 4, 5 arrived
      {0x04, 0x04, 8, 15},        // a read needs 6 bytes
      {0x01, 0x02},               // shorter than any open
      {0x07, 0x04, 8, 15},        // no such opcode
      Bytes(3 + 255, 0x0B),       // $0B: 1 page needs 259 bytes
  };
  bad.back()[1] = 0x00;
  bad.back()[2] = 0x01;
  for (const Bytes& packet : bad) {
    Reply reply = link.Exchange(packet, 16, kNoReplyWaitUs);
    EXPECT_TRUE(reply.raw.empty())
        << "opcode " << int(packet[0]) << ", " << packet.size() << " bytes";
  }
  EXPECT_EQ(link.Exchange(ClosePacket(8, 15), 16).status, 0x00) << "a good packet after them";
}

TEST(BusChannels, ReadsAndWritesOnChannelsThatAreNotOpen) {
  TestLink link("sim:8=1541:blank");
  Reply read = link.ReadChannel(8, 2, 100);
  EXPECT_EQ(read.status, 0x42) << "EOI at once";
  EXPECT_EQ(read.length, 0);
  EXPECT_EQ(read.raw.size(), 104u);
  EXPECT_EQ(link.Exchange(WritePacket(8, 3, {1, 2, 3}), 16).status, 0x03) << "nothing takes them";
}

TEST(BusAdapter, KeepsLoadedPagesAndAnswersJobsWithoutDriveCode) {
  TestLink link("sim:8=1541-II+:blank");
  Reply early = link.Exchange(JobPacket(0x0D, 0x00, 0x00, 0x1C), 16);
  EXPECT_EQ(early.status, 0x02);
  EXPECT_EQ(early.length, 0);
  EXPECT_EQ(link.Exchange({0x0C, 0x08, 8, 0x0F, 0, 0, 0, 0xAA}, 16).status, 0x02)
      << "no page to start";

  Bytes load{0x0B, 0x00, 0x02};
  for (int i = 0; i < 512; ++i) load.push_back(static_cast<uint8_t>(i * 7));
  Reply loaded = link.Exchange(load, 16);
  EXPECT_EQ(loaded.status, 0x00);
  EXPECT_EQ(loaded.echo, 0x0B);
  ASSERT_EQ(link.bus().adapter().bufferPages(), 2);
  EXPECT_TRUE(std::equal(load.begin() + 3, load.end(), link.bus().adapter().buffer().begin()));

  EXPECT_EQ(link.Exchange({0x0C, 0x08, 8, 0x0F, 0, 0, 0, 0xAA}, 16).status, 0x00);
  EXPECT_TRUE(link.bus().drive(8)->codeStarted());
  EXPECT_EQ(link.bus().drive(8)->code(), Bytes(load.begin() + 3, load.begin() + 259));

  // Code that is not the virtual bus's own knows no job and never answers.
  EXPECT_TRUE(link.Exchange(JobPacket(0x0E, 0x05, 2, 18), 2 * 256 + 2).raw.empty());
}

TEST(BusBurst, MemoryDownloadFromA1581Only) {
  TestLink link("sim:8=1581,9=1571");
  Reply rom = link.Exchange({0x11, 0x06, 8, 0x0F, 0xFF, 0x01}, 256);
  ASSERT_EQ(rom.length, 256);
  EXPECT_EQ(rom.data[0x40], 0xBA);
  Reply full = link.Exchange({0x11, 0x06, 8, 0x0F, 0x80, 0x80}, 0x8000);
  EXPECT_EQ(full.length, 0x8000);
  EXPECT_EQ(full.data[0x7F40], 0xBA);
  EXPECT_EQ(link.Exchange({0x11, 0x06, 9, 0x0F, 0x80, 0x01}, 256).status, 0x02);
}

TEST(BusBurst, ReadsAndWritesHalfTracksOfA1581Disk) {
  std::string image = MakeImage("burst.d81", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1581:" + image);
  Bytes load{0x0B, 0x00, 40};
  for (int i = 0; i < 40 * 256; ++i) load.push_back(static_cast<uint8_t>(i / 256 + 1));
  link.Exchange(load, 16);
  Reply written = link.Exchange({0x09, 0x0A, 8, 0x0F, 'U', '0', 0xC2, 3, 0, 40}, 16);
  EXPECT_EQ(written.length, 1);
  EXPECT_EQ(written.data.at(0), 0x20) << "512-byte sectors, drive 0, no error";

  Reply second = link.Exchange({0x08, 0x0A, 8, 0x0F, 'U', '0', 0xC0, 3, 20, 1}, 5121);
  ASSERT_EQ(second.length, 5121);
  EXPECT_EQ(second.data[0], 0x20);
  EXPECT_EQ(second.data[1], 21) << "sector 20 of track 3";
  EXPECT_EQ(second.data[5120], 40);

  link.bus().Inject({FaultKind::kProtect, 8});
  EXPECT_EQ(link.Exchange({0x09, 0x0A, 8, 0x0F, 'U', '0', 0xC2, 3, 0, 40}, 16).data.at(0), 0x28);
  link.bus().Inject({FaultKind::kEject, 8});
  Reply empty = link.Exchange({0x08, 0x0A, 8, 0x0F, 'U', '0', 0xC0, 3, 0, 1}, 5121);
  EXPECT_EQ(empty.length, 1) << "the status byte alone";
  EXPECT_EQ(empty.data.at(0), 0x2F);
}

}  // namespace
}  // namespace sim::test
