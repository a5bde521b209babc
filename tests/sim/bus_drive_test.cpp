// The virtual drives as host tools see them: the model byte, the fast serial probe, the memory
// locations that tell about the disk, and the DOS command buffer.

#include <gtest/gtest.h>

#include <string>

#include "sim/bus/drive_models.h"
#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

const std::string kModelRead("M-R\x40\xFF", 5);
const std::string kViaProbeWrite("M-W\x0C\x18\x01\x21", 7);
const std::string kViaProbeRead("M-R\x0D", 4);

TEST(BusDrive, EveryModelShowsItsByteAtFF40) {
  for (const DriveModel& model : DriveModels()) {
    TestLink link("sim:9=" + std::string(model.name));
    // As the program asks: the command as the name of an OPEN on channel 15.
    link.Exchange(OpenPacket(9, 15, kModelRead), 16);
    Reply reply = link.ReadChannel(9, 15, 64);
    ASSERT_EQ(reply.length, 1) << model.name << ": one byte, no carriage return";
    EXPECT_EQ(reply.data[0], model.idByte) << model.name;
    EXPECT_EQ(reply.status, 0x40) << "the byte comes with EOI";
    EXPECT_EQ(link.ErrorChannel(9).substr(0, 2), "00") << "then the error channel again";
  }
}

TEST(BusDrive, MemoryReadCountsAndDefault) {
  TestLink link("sim:8=1541-C");
  link.Command(8, std::string("M-R\x40\xFF\x02", 6));
  EXPECT_EQ(link.ReadChannel(8, 15, 64).data, (Bytes{0x18, 0xCD}));
  link.Command(8, std::string("M-R\x00\xC0\x00", 6));
  EXPECT_EQ(link.ReadChannel(8, 15, 300).length, 256) << "a count of 0 reads 256 bytes";
  // A new command drops what an earlier "M-R" had not yet sent.
  link.Command(8, std::string("M-R\x40\xFF\x02", 6));
  link.Command(8, std::string("M-W\x00\x05\x01\x00", 7));
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 3), "00,");
}

TEST(BusDrive, FastSerialProbeUsesTheCommandBuffer) {
  for (std::string name : {"1541", "1541-C", "1541-II", "1541-JIFFY", "1541-SDOS"}) {
    for (bool driver : {false, true}) {
      TestLink link("sim:8=" + name + (driver ? "+" : ""));
      link.Command(8, kViaProbeWrite);
      link.Command(8, kViaProbeRead);
      Bytes flags = link.ReadChannel(8, 15, 64).data;
      ASSERT_EQ(flags.size(), 1u);
      EXPECT_EQ((flags[0] & 0x08) != 0, driver) << name << (driver ? "+" : "");
    }
  }
  // With the high byte sent, the same low byte reads zero page RAM instead of the VIA.
  TestLink link("sim:8=1541+");
  link.Command(8, kViaProbeWrite);
  link.Command(8, std::string("M-R\x0D\x00", 5));
  EXPECT_EQ(link.ReadChannel(8, 15, 64).data, (Bytes{0x00}));
}

TEST(BusDrive, MemoryWriteToTheCiaOfFastSerialDrives) {
  for (std::string name : {"1570", "1571", "1581"}) {
    TestLink link("sim:8=" + name);
    link.Command(8, std::string("M-W\x04\x40\x01\x02", 7));
    EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "00") << name;
    EXPECT_EQ(link.MemoryRead(8, 0x4004, 1), (Bytes{0x02})) << name;
  }
}

TEST(BusDrive, MemoryWriteReadsBackFromRam) {
  TestLink link("sim:8=1541");
  link.Command(8, std::string("M-W\x00\x05\x03\xA9\x00\x60", 9));
  EXPECT_EQ(link.MemoryRead(8, 0x0500, 3), (Bytes{0xA9, 0x00, 0x60}));
}

TEST(BusDrive, BadMemoryCommandsAndOverlongLines) {
  TestLink link("sim:8=1541");
  link.ErrorChannel(8);
  link.Command(8, "M-X");
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "31");
  link.Command(8, std::string(42, 'S'));
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "32");
}

TEST(BusDrive, DiskIdInRamAfterInitialise) {
  std::string image = MakeImage("id.d64", "xy");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541:" + image);
  EXPECT_NE(link.MemoryRead(8, 0x0012, 2), (Bytes{'X', 'Y'})) << "not before \"I\"";
  link.Command(8, "I");
  link.Exchange(ClosePacket(8, 15), 16);
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "00");
  EXPECT_EQ(link.MemoryRead(8, 0x0012, 2), (Bytes{'X', 'Y'}));
  // What an M-W puts there stays until the DOS works with the disk again.
  link.Command(8, std::string("M-W\x12\x00\x01Q", 7));
  EXPECT_EQ(link.MemoryRead(8, 0x0012, 2), (Bytes{'Q', 'Y'}));
  link.Command(8, "I");
  EXPECT_EQ(link.MemoryRead(8, 0x0012, 2), (Bytes{'X', 'Y'}));
}

TEST(BusDrive, DoubleSidedDiskAsTheDrivesHoldIt) {
  std::string single = MakeImage("single.d64", "ab");
  std::string both = MakeImage("both.d71", "ab");
  SKIP_WITHOUT_IMAGE(single);
  // The BAM buffer at $0700 of a 1541 or 1570; the 1571's maximum track + 1 at $02AC. The two
  // disks go from drive to drive. A 1571 started in 1571 mode (as a C128 leaves it) knows a
  // double-sided disk at once; one in 1541 mode (as after power-up with a C64) after "U0>M1".
  TestLink link("sim:8=1541:" + single + ",9=1570:" + both + ",10=1571:1571mode,11=1571");
  VirtualBus& bus = link.bus();
  for (int device : {8, 9}) link.Command(device, "I");
  EXPECT_EQ(link.MemoryRead(8, 0x0703, 1), (Bytes{0x00}));
  EXPECT_EQ(link.MemoryRead(9, 0x0703, 1), (Bytes{0x80}));
  bus.drive(10)->InsertDisk(bus.drive(8)->TakeDisk(), "");
  bus.drive(11)->InsertDisk(bus.drive(9)->TakeDisk(), "");
  for (int device : {10, 11}) link.Command(device, "I");
  EXPECT_EQ(link.MemoryRead(10, 0x02AC, 1), (Bytes{0x24}));
  EXPECT_EQ(link.MemoryRead(11, 0x02AC, 1), (Bytes{0x24})) << "1541 mode";
  link.Command(11, "U0>M1");
  link.Command(11, "I");
  EXPECT_EQ(link.MemoryRead(11, 0x02AC, 1), (Bytes{0x47}));
  // A restart brings each drive back to the mode it started in.
  link.Command(11, "UJ");
  link.Command(11, "I");
  EXPECT_EQ(link.MemoryRead(11, 0x02AC, 1), (Bytes{0x24}));
  bus.drive(10)->InsertDisk(bus.drive(11)->TakeDisk(), "");
  link.Command(10, "UJ");
  link.Command(10, "I");
  EXPECT_EQ(link.MemoryRead(10, 0x02AC, 1), (Bytes{0x47}));
}

TEST(BusDrive, WriteProtectSenseAt1C00) {
  TestLink link("sim:8=1541-II:blank:wp,9=1571:blank,10=1541");
  EXPECT_EQ(link.MemoryRead(8, 0x1C00, 1).at(0) & 0x10, 0x00) << "protected";
  EXPECT_EQ(link.MemoryRead(9, 0x1C00, 1).at(0) & 0x10, 0x10);
  EXPECT_EQ(link.MemoryRead(10, 0x1C00, 1).at(0) & 0x10, 0x10) << "no disk, light passes";
  link.bus().Inject({FaultKind::kProtect, 9});
  EXPECT_EQ(link.MemoryRead(9, 0x1C00, 1).at(0) & 0x10, 0x00);
  link.bus().Inject({FaultKind::kUnprotect, 8});
  EXPECT_EQ(link.MemoryRead(8, 0x1C00, 1).at(0) & 0x10, 0x10);
}

TEST(BusDrive, DataChannelsGoToTheDos) {
  std::string image = MakeImage("listing.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541:" + image);
  EXPECT_EQ(link.Exchange(OpenPacket(8, 0, "$"), 16).status, 0x00);
  Reply address = link.ReadChannel(8, 0, 2);
  EXPECT_EQ(address.data, (Bytes{0x01, 0x04}));
  EXPECT_EQ(address.status, 0x00);
  Reply listing = link.ReadChannel(8, 0, 8000);
  EXPECT_GT(listing.length, 20);
  EXPECT_EQ(listing.status, 0x40) << "the last byte with EOI";
  EXPECT_EQ(listing.data.back(), 0x00);
  Reply after = link.ReadChannel(8, 0, 10);
  EXPECT_EQ(after.status, 0x02) << "all sent, nothing comes";
  EXPECT_EQ(after.length, 0);
  link.Exchange(ClosePacket(8, 0), 16);
  EXPECT_EQ(link.ReadChannel(8, 0, 10).status, 0x42) << "closed: EOI at once";

  // A file that is not there: the OPEN goes through, the read ends at once, the error
  // channel tells why.
  link.Exchange(OpenPacket(8, 2, "NOSUCHFILE"), 16);
  Reply missing = link.ReadChannel(8, 2, 254);
  EXPECT_EQ(missing.status, 0x42);
  EXPECT_EQ(missing.length, 0);
  EXPECT_EQ(link.ErrorChannel(8).substr(0, 2), "62");
}

}  // namespace
}  // namespace sim::test
