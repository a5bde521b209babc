// Formatting through the serial port: the 1581's burst format ("U0" + $06 on channel 15), an
// unformatted 3.5" disk under burst reads and writes, a D81 written back track by track, and a
// GCR disk made of whole tracks written by drive code job 6 and then named with "N:name".

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/sim/bus_job_support.h"
#include "tests/sim/media_test_support.h"

namespace sim::test {
namespace {

constexpr int64_t kFormatWaitUs = 100'000'000;
constexpr int64_t kRevolutionUs = 200'000;
constexpr int kD81Tracks = 80;
constexpr int kTrackBytes = 40 * 256;
const std::string kBurstFormat{'U', '0', '\x06'};

Reply BurstRead(TestLink& link, int track, int first, int device = 8) {
  return link.Exchange({0x08, 0x0A, static_cast<uint8_t>(device), 0x0F, 'U', '0', 0xC0,
                        static_cast<uint8_t>(track), static_cast<uint8_t>(first), 1},
                       5121);
}

// Loads a track's 40 sectors into the adapter and has the drive write them; the status byte.
int BurstWrite(TestLink& link, int track, const Bytes& sectors) {
  Bytes load{0x0B, 0x00, 40};
  load.insert(load.end(), sectors.begin(), sectors.end());
  link.Exchange(load, 16);
  Reply reply =
      link.Exchange({0x09, 0x0A, 8, 0x0F, 'U', '0', 0xC2, static_cast<uint8_t>(track), 0, 40}, 16);
  return reply.length == 1 ? reply.data[0] : -1;
}

// The error channel of a drive that may still be busy formatting, and how long it took.
std::string ErrorAfterFormat(TestLink& link, int device, int64_t* waitedUs = nullptr) {
  const int64_t start = link.now();
  Reply reply = link.Exchange(ReadPacket(device, 15, 64), 64, kFormatWaitUs);
  if (waitedUs) *waitedUs = link.now() - start;
  return std::string(reply.data.begin(), reply.data.end());
}

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<testing::ListingLine> ListDirectory(TestLink& link, int device) {
  link.Exchange(OpenPacket(device, 0, "$"), 16);
  Reply listing = link.ReadChannel(device, 0, 4000);
  link.Exchange(ClosePacket(device, 0), 16);
  return testing::ParseListing(listing.data);
}

TEST(BusBurstFormat, AnUnformatted1581DiskRefusesBurstReadsAndWritesTrackByTrack) {
  TestLink link("sim:8=1581:blank");
  for (int track : {1, 40, 80}) {
    Reply read = BurstRead(link, track, 0);
    ASSERT_EQ(read.length, 1) << "the status byte alone on track " << track;
    EXPECT_EQ(read.data[0], 0x23) << "no address mark";
  }
  EXPECT_EQ(link.ErrorChannel(8), "21,READ ERROR,80,00\r");
  for (int track : {1, 2, 80}) EXPECT_EQ(BurstWrite(link, track, Bytes(kTrackBytes, 0x5A)), 0x23);
  EXPECT_EQ(link.ErrorChannel(8), "21,READ ERROR,80,00\r");
  EXPECT_EQ(BurstRead(link, 2, 0).length, 1) << "the refused write left the track unformatted";
}

TEST(BusBurstFormat, FormatsEveryTrackAsTheDosFormatWithItsOwnNameAndId) {
  TestLink link("sim:8=1581:blank");
  const int64_t sent = link.now();
  EXPECT_EQ(link.Command(8, kBurstFormat).status, 0x00);
  int64_t waited = 0;
  EXPECT_EQ(ErrorAfterFormat(link, 8, &waited), "00, OK,00,00\r");
  // Each side of each of the 80 cylinders is written and verified.
  EXPECT_GE(link.now() - sent, 320 * kRevolutionUs);
  EXPECT_LT(waited, 340 * kRevolutionUs);

  for (int track : {1, 39, 41, 80}) {
    for (int first : {0, 20}) {
      Reply read = BurstRead(link, track, first);
      ASSERT_EQ(read.length, 5121) << track;
      EXPECT_EQ(read.data[0], 0x20);
      EXPECT_EQ(Bytes(read.data.begin() + 1, read.data.end()), Bytes(5120, 0x00)) << track;
    }
  }
  const std::vector<testing::ListingLine> lines = ListDirectory(link, 8);
  ASSERT_EQ(lines.size(), 2u);
  const std::string header(lines[0].text.begin(), lines[0].text.end());
  EXPECT_EQ(header, "\x12\"COPYRIGHT CBM   \" 86 3D");
  EXPECT_EQ(lines[1].number, 3160);
}

TEST(BusBurstFormat, RefusesAProtectedDiskAnEmptyDriveAndDriveOneAtOnce) {
  TestLink link("sim:8=1581:blank:wp,9=1581,10=1581:blank");
  link.Command(8, kBurstFormat);
  int64_t waited = 0;
  EXPECT_EQ(ErrorAfterFormat(link, 8, &waited), "26, WRITE PROTECT ON,01,00\r");
  EXPECT_LT(waited, 10 * kRevolutionUs);
  EXPECT_EQ(BurstRead(link, 1, 0).length, 1) << "the disk is still unformatted";

  link.Command(9, kBurstFormat);
  EXPECT_EQ(ErrorAfterFormat(link, 9, &waited), "74,DRIVE NOT READY,00,00\r");
  EXPECT_LT(waited, 10 * kRevolutionUs);

  // Bit 0 of the command byte names drive 1, which a 1581 does not have.
  link.Command(10, std::string{'U', '0', '\x07'});
  EXPECT_EQ(ErrorAfterFormat(link, 10), "74,DRIVE NOT READY,00,00\r");
  EXPECT_EQ(BurstRead(link, 1, 0, 10).length, 1);
}

TEST(BusBurstFormat, DrivesWithoutTheBurstFormatAnswerSyntaxError) {
  TestLink link("sim:8=1541-II:blank,9=1571:blank");
  for (int device : {8, 9}) {
    link.Command(device, kBurstFormat);
    EXPECT_EQ(link.ErrorChannel(device), "31,SYNTAX ERROR,00,00\r") << device;
  }
}

TEST(BusBurstFormat, AD81WrittenTrackByTrackAfterTheFormatReadsBackAsThatImage) {
  std::string image = MakeImage("restore.d81", "rs");
  SKIP_WITHOUT_IMAGE(image);
  Bytes bytes = ReadFile(image);
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kD81Tracks * kTrackBytes));
  for (int i = 0; i < kTrackBytes; ++i) bytes[6 * kTrackBytes + i] = static_cast<uint8_t>(i * 7);
  std::ofstream(image, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));

  TestLink link("sim:8=1581:blank");
  link.Command(8, kBurstFormat);
  ASSERT_EQ(ErrorAfterFormat(link, 8), "00, OK,00,00\r");
  for (int track = 1; track <= kD81Tracks; ++track) {
    const auto from = bytes.begin() + (track - 1) * kTrackBytes;
    ASSERT_EQ(BurstWrite(link, track, Bytes(from, from + kTrackBytes)), 0x20) << track;
  }
  const std::string saved = ::testing::TempDir() + "/bus_restored.d81";
  std::string error;
  ASSERT_TRUE(link.bus().SaveDisk(8, saved, &error)) << error;
  EXPECT_EQ(ReadFile(saved), bytes);
  const std::vector<testing::ListingLine> lines = ListDirectory(link, 8);
  ASSERT_FALSE(lines.empty());
  const auto name = bytes.begin() + (40 - 1) * kTrackBytes + 4;
  Bytes header{0x12, '"'};
  header.insert(header.end(), name, name + 16);
  std::replace(header.begin(), header.end(), uint8_t{0xA0}, uint8_t{' '});  // as listed
  header.insert(header.end(), {'"', ' ', 'R', 'S'});
  EXPECT_EQ(Bytes(lines[0].text.begin(), lines[0].text.begin() + 22), header);
}

// Tracks 1 to 35 as a fast format lays them: every sector zero but byte 2 of 18/0, the format
// letter, headers with the new ID; each ends in the $00 byte job 6 stops at.
Bytes FastFormatTrack(int track, const DiskId& id, uint8_t formatLetter) {
  std::vector<SectorPlan> sectors(static_cast<size_t>(GcrSectorsOnTrack(track)));
  if (track == 18) sectors[0].data[2] = formatLetter;
  Bytes bytes = BuildGcrTrack(track, id, sectors, 9, 0);
  bytes.push_back(0x00);
  return bytes;
}

void FastFormat(TestLink& link, const DiskId& id, uint8_t formatLetter) {
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  for (int track = 1; track <= 35; ++track) {
    link.Exchange(LoadPagesPacket(FastFormatTrack(track, id, formatLetter)), 16);
    ASSERT_EQ(WriteTrackJob(link, track).data.at(0), 0x01) << track;
  }
}

TEST(BusFastFormat, NameWithoutIdGivesAnEmptyDiskWithTheTracksId) {
  TestLink link("sim:8=1541-II:blank");
  FastFormat(link, DiskId{'Q', '7'}, 'A');
  link.Command(8, "N:FRESH");
  EXPECT_EQ(link.ErrorChannel(8), "00, OK,00,00\r");
  const std::vector<testing::ListingLine> lines = ListDirectory(link, 8);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(std::string(lines[0].text.begin(), lines[0].text.end()),
            "\x12\"FRESH           \" Q7 2A");
  EXPECT_EQ(lines[1].number, 664);
  EXPECT_EQ(std::string(lines[1].text.begin(), lines[1].text.end()).find("BLOCKS FREE."), 0u);
}

TEST(BusFastFormat, AnotherFormatLetterIsRefusedWithTheDosVersion) {
  TestLink link("sim:8=1541-II:blank");
  FastFormat(link, DiskId{'Q', '7'}, 'B');
  link.Command(8, "N:FRESH");
  EXPECT_EQ(link.ErrorChannel(8), "73,CBM DOS V2.6 1541,00,00\r");
  SectorData bam{};
  ASSERT_EQ(link.bus().disk(8)->ReadSector(18, 0, bam), kJobOk);
  SectorData laid{};
  laid[2] = 'B';
  EXPECT_EQ(bam, laid) << "no BAM was written";
}

}  // namespace
}  // namespace sim::test

namespace sim::test {
namespace {

// The 1581's track cache holds one side of a cylinder: a burst write reaches the disk when the
// head moves on, or on the dump command; a disk taken out before that keeps its old sectors.
// The first burst command after the disk came back tells of the change and does nothing else.
TEST(BusBurst1581, WritesWaitInTheTrackCacheAndADiskChangeIsToldOnce) {
  std::string image = MakeImage("cache.d81", "ca");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1581:" + image);
  Disk& disk = *link.bus().disk(8);
  SectorData before{};
  ASSERT_EQ(disk.ReadSector(80, 20, before), kJobOk);
  Bytes sectors(kTrackBytes);
  for (int i = 0; i < kTrackBytes; ++i) sectors[i] = static_cast<uint8_t>(i / 256 + 1);

  ASSERT_EQ(BurstWrite(link, 80, sectors), 0x20);
  SectorData onDisk{};
  disk.ReadSector(80, 0, onDisk);
  EXPECT_EQ(onDisk[0], 1) << "the first side went back when the drive turned to the second";
  disk.ReadSector(80, 20, onDisk);
  EXPECT_EQ(onDisk, before) << "the second side is still in the cache";
  EXPECT_EQ(BurstRead(link, 80, 20).data.at(1), 21) << "and a read gets it from there";

  link.bus().Inject({FaultKind::kEject, 8});
  link.bus().Inject({FaultKind::kInsert, 8});
  const Reply changed = BurstRead(link, 80, 20);
  ASSERT_EQ(changed.length, 1);
  EXPECT_EQ(changed.data[0], 0x2B) << "disk changed";
  EXPECT_EQ(link.ErrorChannel(8), "29, DISK ID MISMATCH,80,20\r");
  const Reply again = BurstRead(link, 80, 20);
  EXPECT_EQ(again.data.at(0), 0x20);
  EXPECT_EQ(Bytes(again.data.begin() + 1, again.data.begin() + 257),
            Bytes(before.begin(), before.end()))
      << "the written sectors went with the cache";

  ASSERT_EQ(BurstWrite(link, 80, sectors), 0x20);
  BurstRead(link, 1, 0);
  disk.ReadSector(80, 39, onDisk);
  EXPECT_EQ(onDisk[0], 40) << "the head left the track";
  ASSERT_EQ(BurstWrite(link, 79, sectors), 0x20);
  link.Command(8, std::string{'U', '0', '\x1D'});
  EXPECT_EQ(link.ErrorChannel(8), "00, OK,00,00\r");
  disk.ReadSector(79, 39, onDisk);
  EXPECT_EQ(onDisk[0], 40) << "dumped";
}

}  // namespace
}  // namespace sim::test
