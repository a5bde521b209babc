// The disk under a virtual drive's head, seen through the bus: the defects an image's error bytes
// describe, the rotation a seek starts from, and a disk pulled out while a file is open.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/bus_test_link.h"

namespace sim::test {
namespace {

// The index of 18/0 among the error bytes of a D64 or D71.
constexpr size_t kTrack18 = 357;

// Appends error bytes to an image file: all $01 (good) but those given by sector index.
void AppendErrorBytes(const std::string& path, size_t sectors,
                      const std::vector<std::pair<size_t, uint8_t>>& defects) {
  Bytes errors(sectors, 0x01);
  for (const auto& [index, value] : defects) errors[index] = value;
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
      {"1541", "high.d64", 683, kTrack18, 0x12, "20,READ ERROR,18,00\r"},
      {"1571", "high.d71", 1366, kTrack18, 0x15, "23,READ ERROR,18,00\r"},
      {"1581", "high.d81", 3200, 39 * 40, 0x19, "27,READ ERROR,40,00\r"},
  };
  for (const Case& c : cases) {
    std::string image = MakeImage(c.file, "ab");
    SKIP_WITHOUT_IMAGE(image);
    AppendErrorBytes(image, c.sectors, {{c.index, c.value}});
    TestLink link("sim:8=" + std::string(c.model) + ":" + image);
    link.ErrorChannel(8);
    link.Command(8, "I");
    EXPECT_EQ(link.ErrorChannel(8), c.message) << c.file;
  }
}

constexpr size_t kPiece = 200;

// The bytes Save writes: each piece of 200 holds its number.
Bytes SavedBytes(size_t from, size_t to) {
  Bytes bytes;
  for (size_t i = from; i < to; ++i) bytes.push_back(static_cast<uint8_t>(i / kPiece));
  return bytes;
}

// Bytes from..to of that data to the file open on secondary address 1, in packets of `kPiece`.
void Write(TestLink& link, int device, size_t from, size_t to) {
  for (size_t done = from; done < to; done += kPiece) {
    EXPECT_EQ(
        link.Exchange(WritePacket(device, 1, SavedBytes(done, std::min(to, done + kPiece))), 16)
            .status,
        0x00);
  }
}
// SAVE as the program does it: OPEN on secondary address 1, the data, CLOSE.
void Save(TestLink& link, int device, const std::string& name, size_t size) {
  link.Exchange(OpenPacket(device, 1, name), 16);
  Write(link, device, 0, size);
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

TEST(BusDisk, InitialiseTakesTheIdOfTheFirstHeaderTheHeadMeets) {
  // 18/5 carries a foreign ID, 18/9 a header with a bad checksum.
  std::string image = MakeImage("turning.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  AppendErrorBytes(image, 683, {{kTrack18 + 5, 0x0B}, {kTrack18 + 9, 0x09}});
  TestLink link("sim:8=1541:" + image);
  auto initialiseAt = [&link](int64_t us) {
    link.SleepUntil(us);
    link.Command(8, "I");
    return link.ErrorChannel(8);
  };
  // Once a second and a millisecond more: the disk turns five times a second, so each try meets
  // it 1 ms further on, and 200 tries go round once.
  constexpr int kTries = 200;
  constexpr int64_t kStepUs = 1'001'000;
  std::vector<std::string> seen;
  for (int i = 0; i < kTries; ++i) seen.push_back(initialiseAt(kStepUs * (i + 1)));
  // Where each answer starts on the turn and for how many tries it holds.
  const auto firstOk = std::find(seen.begin(), seen.end(), "00, OK,00,00\r");
  ASSERT_NE(firstOk, seen.end());
  const long offset = firstOk - seen.begin();
  std::rotate(seen.begin(), firstOk, seen.end());
  auto window = [&](const std::string& message) {
    const auto first = std::find(seen.begin(), seen.end(), message);
    const auto last = std::find_if(first, seen.end(), [&](const auto& m) { return m != message; });
    EXPECT_EQ(std::count(last, seen.end(), message), 0) << message << "comes in one stretch";
    return std::pair<long, long>{(first - seen.begin() + offset) % kTries, last - first};
  };
  const auto [mismatchAt, mismatchTries] = window("29, DISK ID MISMATCH,18,00\r");
  const auto [checksumAt, checksumTries] = window("27,READ ERROR,18,00\r");
  // A sector of track 18 passes in 371 of its 7142 bytes, 10.4 ms; the two lie four apart.
  for (long tries : {mismatchTries, checksumTries}) {
    EXPECT_GE(tries, 10);
    EXPECT_LE(tries, 11);
  }
  EXPECT_NEAR((checksumAt - mismatchAt + kTries) % kTries, 41.6, 1.0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "00, OK,00,00\r"),
            kTries - mismatchTries - checksumTries);
  // The same point of the turn gives the same answer a thousand (two thousand) turns later.
  constexpr int64_t kThousandTurnsUs = 200'000'000;
  EXPECT_EQ(initialiseAt(kStepUs * (mismatchAt + 1) + kThousandTurnsUs),
            "29, DISK ID MISMATCH,18,00\r");
  EXPECT_EQ(initialiseAt(kStepUs * (checksumAt + 1) + 2 * kThousandTurnsUs),
            "27,READ ERROR,18,00\r");
}

struct PulledCase {
  std::string model;
  std::string image;
  std::string nextBlockError;  // what the DOS says when the file's second block is wanted
};

// The GCR drives have no disk sensor: the job finds no sync. The 1581 knows its disk is gone.
const PulledCase kPulledCases[] = {
    {"1541", "pulled.d64", "21,READ ERROR,17,10\r"},
    {"1571", "pulled.d71", "21,READ ERROR,17,06\r"},
    {"1581", "pulled.d81", "74,DRIVE NOT READY,39,01\r"},
};

TEST(BusDisk, ADiskPulledOutWhileAFileIsReadEndsTheTalkWithAReadError) {
  for (const PulledCase& c : kPulledCases) {
    std::string image = MakeImage(c.image, "ab");
    SKIP_WITHOUT_IMAGE(image);
    TestLink link("sim:8=" + c.model + ":" + image);
    Save(link, 8, "THREE", 3 * 254);
    link.ErrorChannel(8);
    ASSERT_EQ(link.Exchange(OpenPacket(8, 0, "THREE"), 16).length, 0);
    Reply first = link.ReadChannel(8, 0, 100);
    EXPECT_EQ(first.status, 0x00) << c.model;
    EXPECT_EQ(first.data, SavedBytes(0, 100)) << c.model;

    link.bus().Inject({FaultKind::kEject, 8});
    // The rest of the first block was in the drive's buffer; the second cannot be read, so the
    // drive stops sending without EOI.
    Reply rest = link.ReadChannel(8, 0, 254);
    EXPECT_EQ(rest.data, SavedBytes(100, 254)) << c.model;
    EXPECT_EQ(rest.status, 0x02) << c.model;
    EXPECT_EQ(link.ErrorChannel(8), c.nextBlockError) << c.model;
    Reply after = link.ReadChannel(8, 0, 254);
    EXPECT_EQ(after.length, 0) << c.model;
    EXPECT_EQ(after.status, 0x02) << c.model;
  }
}

TEST(BusDisk, ADiskPulledOutWhileAFileIsWrittenFailsTheNextBlockWritten) {
  for (const PulledCase& c : kPulledCases) {
    std::string image = MakeImage(c.image, "ab");
    SKIP_WITHOUT_IMAGE(image);
    TestLink link("sim:8=" + c.model + ":" + image);
    link.ErrorChannel(8);
    link.Exchange(OpenPacket(8, 1, "CUT"), 16);
    Write(link, 8, 0, 400);  // the first block is on the disk, the second in the buffer
    link.bus().Inject({FaultKind::kEject, 8});
    Write(link, 8, 400, 600);  // the second block is full: the DOS writes it
    EXPECT_EQ(link.ErrorChannel(8), c.nextBlockError) << c.model;
    link.Exchange(ClosePacket(8, 1), 16);

    // Back in the drive the disk holds the first block and an entry never closed.
    link.bus().Inject({FaultKind::kInsert, 8});
    link.Exchange(OpenPacket(8, 0, "CUT"), 16);
    EXPECT_EQ(link.ErrorChannel(8), "60, WRITE FILE OPEN,00,00\r") << c.model;
  }
}

TEST(BusDisk, ADiskPulledOutDuringTheDirectoryEndsItWhereTheNextBlockIsDue) {
  std::string image = MakeImage("listing.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541:" + image);
  // Nine files: the ninth entry lies in the second directory block, 18/4.
  for (int i = 0; i < 9; ++i) Save(link, 8, "F" + std::to_string(i), 10);
  link.ErrorChannel(8);
  link.Exchange(OpenPacket(8, 0, "$"), 16);
  // Load address, header line and eight file lines of 32 bytes each: all from 18/0 and 18/1.
  constexpr int kFirstBlockLines = 2 + 30 + 8 * 32;
  Reply first = link.ReadChannel(8, 0, kFirstBlockLines - 10);
  EXPECT_EQ(first.status, 0x00);
  link.bus().Inject({FaultKind::kEject, 8});
  Reply rest = link.ReadChannel(8, 0, 200);
  EXPECT_EQ(rest.length, 10) << "the lines of 18/1 still go out";
  EXPECT_EQ(rest.status, 0x02) << "then the drive stops without EOI";
  EXPECT_EQ(link.ErrorChannel(8), "21,READ ERROR,18,04\r");

  // With the disk in place the same listing goes to its end.
  link.bus().Inject({FaultKind::kInsert, 8});
  link.Exchange(ClosePacket(8, 0), 16);
  link.Exchange(OpenPacket(8, 0, "$"), 16);
  Reply whole = link.ReadChannel(8, 0, 1000);
  EXPECT_EQ(whole.length, kFirstBlockLines + 32 + 30 + 2);
  EXPECT_EQ(whole.status, 0x40);
  EXPECT_EQ(
      Bytes(whole.data.begin() + kFirstBlockLines - 10, whole.data.begin() + kFirstBlockLines),
      rest.data);
}

}  // namespace
}  // namespace sim::test
