#include <gtest/gtest.h>

#include "link/detect.h"
#include "link/exchange.h"
#include "link_test_support.h"
#include "testkit/harness.h"

namespace dw {
namespace {

using testing_support::ImageFolder;

struct ModelCase {
  const char* description;
  const char* name;
  uint8_t family;
  uint8_t fastSerialDriver;
};

class DetectModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(DetectModel, NamesTheModelFromItsRomByteAndProbesTheFastSerialDriver) {
  const ModelCase& c = GetParam();
  Harness h(std::string("8=") + c.description);
  h.Connect();
  EXPECT_EQ(h.program.DriveModelName, c.name);
  EXPECT_EQ(h.program.DriveFamily, c.family);
  EXPECT_EQ(h.program.LinkState, 0);
  if (c.family <= kFamily1541) {
    EXPECT_EQ(h.program.FastSerialDriver, c.fastSerialDriver);
  }
  ASSERT_EQ(h.desk.devices().size(), 1u);
  EXPECT_EQ(h.desk.devices()[0], std::string("8: ") + c.name);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, DetectModel,
                         ::testing::Values(ModelCase{"1541", "1541", kFamily1541, 0},
                                           ModelCase{"1541+", "1541+", kFamily1541, 1},
                                           ModelCase{"1541-C", "1541-C", kFamily1541, 0},
                                           ModelCase{"1541-II", "1541-II", kFamily1541, 0},
                                           ModelCase{"1541-II+", "1541-II+", kFamily1541, 1},
                                           ModelCase{"1541-JIFFY", "1541-JIFFY", kFamily1541, 0},
                                           ModelCase{"1541-SDOS+", "1541-SDOS+", kFamily1541, 1},
                                           ModelCase{"1570", "1570", kFamily1570, 0},
                                           ModelCase{"1571", "1571", kFamily1571, 0},
                                           ModelCase{"1581", "1581", kFamily1581, 0}));

TEST(DetectModel, FastSerialProbeSendsTheFourByteMemoryRead) {
  Harness h("8=1541-II+");
  h.Connect();
  DetectDriveModel(h.program);
  // The last command on channel 15 before the read was "M-R" and $0D: four bytes, no high byte.
  // (The read that follows rebuilt the packet from index 0, so look at the drive's side.)
  EXPECT_EQ(h.program.DriveModelName, "1541-II+");
  EXPECT_EQ(h.bus->drive(8)->memory().Read(0x180C), 0x21);
}

TEST(DetectModel, VanishedDriveKeepsItsLastModel) {
  Harness h("8=1571");
  h.Connect();
  ASSERT_TRUE(h.bus->Inject({sim::FaultKind::kPowerOff, 8}));
  DetectDriveModel(h.program);
  EXPECT_EQ(h.program.DriveModelName, "1571");
  EXPECT_EQ(h.program.DriveFamily, kFamily1571);
  // The switched-off drive holds the bus: the adapter never answers.
  EXPECT_EQ(h.program.LinkState, kLinkTimeout);
}

struct FormatCase {
  const char* model;
  const char* image;     // extension of a cc1541 image, "" for an empty drive
  bool doubleSidedMark;  // set byte 3 of the BAM to $80 in a D64
  const char* text;
  uint8_t format;
  bool starts1571Mode = false;  // a 1571 as a C128 leaves it; otherwise in 1541 mode
};

class DetectFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DetectFormat, TellsTheDiskKindAndReadsTheId) {
  const FormatCase& c = GetParam();
  ImageFolder folder;
  std::string path = folder.Blank(std::string("disk") + c.image);
  REQUIRE_IMAGE(path);
  if (c.doubleSidedMark) ImageFolder::Patch(path, 91392 + 3, 0x80);
  Harness h(std::string("8=") + c.model + ":" + path + (c.starts1571Mode ? ":1571mode" : ""));
  h.Connect();
  EXPECT_EQ(DetectDiskFormat(h.program, true), c.text);
  EXPECT_EQ(h.program.DiskFormat, c.format);
  EXPECT_EQ(h.program.DiskId[1], 'A');
  EXPECT_EQ(h.program.DiskId[2], 'B');
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, DetectFormat,
    ::testing::Values(FormatCase{"1541-II", ".d64", false, "1541 DISK", kDisk1541},
                      FormatCase{"1541-II", ".d64", true, "1571 DISK ???", kDisk1571DoubleSided},
                      FormatCase{"1570", ".d64", true, "1571 DISK ???", kDisk1571DoubleSided},
                      FormatCase{"1571", ".d64", false, "1541 DISK", kDisk1541},
                      FormatCase{"1571", ".d71", false, "1571 DISK", kDisk1571DoubleSided, true},
                      FormatCase{"1571", ".d71", false, "1541 DISK", kDisk1541},
                      FormatCase{"1581", ".d81", false, "1581 DISK", kDisk1581}));

TEST(DetectFormat, DiskErrorOnInitialiseSkipsTheDoubleSidedTest) {
  Harness h("8=1541-II");  // no disk in the drive
  h.Connect();
  EXPECT_EQ(DetectDiskFormat(h.program, true), "1541 DISK");
  EXPECT_EQ(h.program.DosErrorFlag, 1);
  EXPECT_EQ(h.program.DiskFormat, kDisk1541);
}

TEST(DetectFormat, The1581NeedsNoQuestion) {
  Harness h("8=1581");
  h.Connect();
  EXPECT_EQ(DetectDiskFormat(h.program, false), "1581 DISK");
  EXPECT_EQ(h.program.DiskFormat, kDisk1581);
}

}  // namespace
}  // namespace dw
