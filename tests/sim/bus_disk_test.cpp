// The disk under a virtual drive's head, seen through the bus: the defects an image's error bytes
// describe, the rotation a seek starts from, and a disk pulled out while a file is open.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

// Appends error bytes (all $01, good) to an image file and sets one of them.
void AppendErrorBytes(const std::string& path, size_t sectors, size_t index, uint8_t value) {
  Bytes errors(sectors, 0x01);
  errors[index] = value;
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file.write(reinterpret_cast<const char*>(errors.data()),
             static_cast<std::streamsize>(errors.size()));
}

TEST(BusDisk, OnlyTheLowFourBitsOfAnErrorByteCount) {
  struct Case {
    const char* model;
    const char* file;
    size_t sectors;
    size_t index;  // of the sector the DOS reads first on "I"
    uint8_t value;
    const char* message;
  };
  // $12 is code 2 (header not found), $15 code 5 (data checksum), $19 code 9 (header checksum).
  const Case cases[] = {
      {"1541", "high.d64", 683, 357, 0x12, "20,READ ERROR,18,00\r"},
      {"1571", "high.d71", 1366, 357, 0x15, "23,READ ERROR,18,00\r"},
      {"1581", "high.d81", 3200, 39 * 40, 0x19, "27,READ ERROR,40,00\r"},
  };
  for (const Case& c : cases) {
    std::string image = MakeImage(c.file, "ab");
    SKIP_WITHOUT_IMAGE(image);
    AppendErrorBytes(image, c.sectors, c.index, c.value);
    TestLink link("sim:8=" + std::string(c.model) + ":" + image);
    link.ErrorChannel(8);
    link.Command(8, "I");
    EXPECT_EQ(link.ErrorChannel(8), c.message) << c.file;
  }
}

}  // namespace
}  // namespace sim::test
