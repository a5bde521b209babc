// The text that describes a virtual bus, and building a bus from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/bus/bus_description.h"
#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

std::vector<DriveDescription> Parse(const std::string& text) {
  std::vector<DriveDescription> drives;
  std::string error;
  EXPECT_TRUE(ParseBusDescription(text, &drives, &error)) << text << ": " << error;
  return drives;
}

std::string ErrorOf(const std::string& text) {
  std::vector<DriveDescription> drives;
  std::string error;
  EXPECT_FALSE(ParseBusDescription(text, &drives, &error)) << text;
  return error;
}

TEST(BusDescription, DrivesWithOptions) {
  auto drives = Parse(
      "sim:8=1541-II+:games.d64, 9=1581:C:\\disks\\work.d81:wp,10=1571:1571MODE,"
      "11=1541-jiffy@310rpm:blank:off");
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].device, 8);
  EXPECT_EQ(drives[0].model->name, "1541-II");
  EXPECT_TRUE(drives[0].fastSerialDriver);
  EXPECT_EQ(drives[0].imagePath, "games.d64");
  EXPECT_FALSE(drives[0].writeProtected);
  EXPECT_EQ(drives[1].imagePath, "C:\\disks\\work.d81");
  EXPECT_TRUE(drives[1].writeProtected);
  EXPECT_TRUE(drives[2].imagePath.empty());
  EXPECT_FALSE(drives[2].blankDisk);
  EXPECT_TRUE(drives[2].starts1571Mode);
  EXPECT_FALSE(drives[0].starts1571Mode);
  EXPECT_EQ(drives[3].model->name, "1541-JIFFY");
  EXPECT_DOUBLE_EQ(drives[3].rpm, 310.0);
  EXPECT_TRUE(drives[3].blankDisk);
  EXPECT_TRUE(drives[3].poweredOff);
  EXPECT_DOUBLE_EQ(drives[2].rpm, 300.0);
  EXPECT_TRUE(Parse("sim:").empty());
  EXPECT_EQ(Parse("8=1570").size(), 1u) << "the prefix is optional";
}

TEST(BusDescription, MistakesAreNamed) {
  EXPECT_NE(ErrorOf("sim:12=1541").find("8 to 11"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1542").find("unknown drive model \"1542\""), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541,8=1571").find("twice"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:1541").find("DEVICE=MODEL"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541@fast").find("speed"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541@1000rpm").find("speed"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1581+").find("fast serial"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541:wp").find("needs a disk"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1570:1571mode").find("is for a 1571"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541:a.d64:written@").find("bad writing speed"), std::string::npos);
  EXPECT_NE(ErrorOf("sim:8=1541:a.d64:written@90").find("bad writing speed"), std::string::npos);
}

TEST(BusDescription, ASpeedDriftAfterTheSpeed) {
  auto drives = Parse("8=1541-II+@300rpm~0.4:blank,9=1541@294~0.25/6s,10=1571@~3/1.5S");
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_DOUBLE_EQ(drives[0].driftPercent, 0.4);
  EXPECT_EQ(drives[0].driftPeriodUs, 10'000'000) << "ten seconds unless given";
  EXPECT_TRUE(drives[0].blankDisk);
  EXPECT_DOUBLE_EQ(drives[1].rpm, 294.0);
  EXPECT_DOUBLE_EQ(drives[1].driftPercent, 0.25);
  EXPECT_EQ(drives[1].driftPeriodUs, 6'000'000);
  EXPECT_DOUBLE_EQ(drives[2].rpm, 300.0);
  EXPECT_EQ(drives[2].driftPeriodUs, 1'500'000);
  EXPECT_DOUBLE_EQ(Parse("8=1541@310")[0].driftPercent, 0.0);
  for (const char* wrong : {"8=1541@300~0", "8=1541@300~3.5", "8=1541@300~-1", "8=1541@300~",
                            "8=1541@300~0.4/0s", "8=1541@300~0.4/", "8=1541@300~0.4/6m"}) {
    const std::string error = ErrorOf(wrong);
    EXPECT_EQ(error.rfind("sim: device 8: bad speed drift \"~", 0), 0u) << wrong << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  EXPECT_NE(ErrorOf("sim:8=1541@1000~0.4").find("bad disk speed"), std::string::npos);
}

TEST(BusDescription, ImagesThatCannotBeUsed) {
  std::string error;
  auto clock = [] { return int64_t{0}; };
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1541:/nonexistent/x.d64", clock, &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/x.d64"), std::string::npos) << error;

  std::string shortFile = testing::TempDir() + "/bus_short.d64";
  std::ofstream(shortFile) << "too short";
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1541:" + shortFile, clock, &error), nullptr);
  EXPECT_NE(error.find("device 8"), std::string::npos) << error;

  // A 3.5" disk does not go into a 5.25" drive, nor the other way round.
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1541:disk.D81", clock, &error), nullptr);
  EXPECT_NE(error.find("does not fit a 1541"), std::string::npos) << error;
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1581:disk.d64", clock, &error), nullptr);
  EXPECT_NE(error.find("does not fit a 1581"), std::string::npos) << error;

  // A writing speed lays an image's sectors anew; a blank disk has none.
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1541:blank:written@294", clock, &error), nullptr);
  EXPECT_NE(error.find("needs a .d64 or .d71 image"), std::string::npos) << error;
  const std::string image = MakeImage("fast.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  EXPECT_EQ(VirtualBus::FromDescription("sim:8=1541:" + image + ":written@330", clock, &error),
            nullptr);
  EXPECT_NE(error.find("cannot write a zone's sectors in one turn"), std::string::npos) << error;
}

TEST(BusDescription, BuildsTheDrivesAndSavesDisksBack) {
  std::string image = MakeImage("save.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541-II+:" + image + ":wp,9=1571:blank,11=1581:off");
  VirtualBus& bus = link.bus();
  ASSERT_NE(bus.drive(8), nullptr);
  EXPECT_EQ(bus.drive(8)->model().name, "1541-II");
  EXPECT_TRUE(bus.drive(8)->memory().fastSerialDriver());
  ASSERT_NE(bus.disk(8), nullptr);
  EXPECT_TRUE(bus.disk(8)->writeProtected);
  EXPECT_NE(bus.disk(9), nullptr);
  EXPECT_EQ(bus.drive(10), nullptr);
  EXPECT_FALSE(bus.drive(11)->powered());

  // A sector changed on the disk reaches the image file; an ejected disk is saved too.
  std::array<uint8_t, 256> sector;
  sector.fill(0x5A);
  bus.disk(8)->writeProtected = false;
  ASSERT_EQ(bus.disk(8)->WriteSector(1, 0, sector), kJobOk);
  bus.Inject({FaultKind::kEject, 8});
  std::string error;
  ASSERT_TRUE(bus.SaveDisks(&error)) << error;
  std::ifstream saved(image, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(saved)),
                          std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 174848u);
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + 256, 0x5A), 256);
  EXPECT_FALSE(bus.SaveDisk(10, image, &error));
  EXPECT_NE(error.find("drive 10"), std::string::npos);
}

}  // namespace
}  // namespace sim::test
