// The disk under a virtual drive's head, seen through the bus: the defects an image's error bytes
// describe, the rotation a seek starts from, and a disk pulled out while a file is open.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

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

// SAVE as the program does it: OPEN on secondary address 1, the data in packets, CLOSE.
void Save(TestLink& link, int device, const std::string& name, size_t size) {
  constexpr size_t kPiece = 200;
  link.Exchange(OpenPacket(device, 1, name), 16);
  for (size_t done = 0; done < size; done += kPiece) {
    const Bytes piece(std::min(kPiece, size - done), static_cast<uint8_t>(done / kPiece));
    EXPECT_EQ(link.Exchange(WritePacket(device, 1, piece), 16).status, 0x00);
  }
  link.Exchange(ClosePacket(device, 1), 16);
}

std::vector<std::pair<int, int>> Chain(Disk& disk, int track, int sector) {
  std::vector<std::pair<int, int>> chain;
  while (track != 0 && chain.size() < 100) {
    chain.push_back({track, sector});
    std::array<uint8_t, 256> block{};
    EXPECT_EQ(disk.ReadSector(track, sector, block), 1);
    track = block[0];
    sector = block[1];
  }
  return chain;
}

TEST(BusDisk, The1570And1571SaveWithInterleaveSixOnASingleSidedDisk) {
  const std::vector<std::pair<int, int>> six = {{17, 0}, {17, 6}, {17, 12}, {17, 18}, {17, 2}};
  const std::vector<std::pair<int, int>> ten = {{17, 0}, {17, 10}, {17, 20}, {17, 8}, {17, 18}};
  struct Case {
    std::string model;
    std::string mode;  // a command before the save
    const std::vector<std::pair<int, int>>& chain;
  };
  const Case cases[] = {
      {"1541", "", ten}, {"1570", "", six}, {"1571", "", six}, {"1571", "U0>M0", six}};
  for (const Case& c : cases) {
    std::string image = MakeImage("single.d64", "ab");
    SKIP_WITHOUT_IMAGE(image);
    TestLink link("sim:8=" + c.model + ":" + image);
    if (!c.mode.empty()) link.Command(8, c.mode);
    Save(link, 8, "FIVE", 5 * 254);
    EXPECT_EQ(link.ErrorChannel(8), "00, OK,00,00\r") << c.model;
    EXPECT_EQ(Chain(*link.bus().disk(8), 17, 0), c.chain) << c.model << " " << c.mode;
  }
}

}  // namespace
}  // namespace sim::test
