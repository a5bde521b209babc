// The virtual drive code's raw track read (job 5) and track write (job 6), through the serial
// port as the program sends them: where a read starts on the turning disk, the byte-rate count,
// the track numbers of the 1571's second side and beyond track 35, the bit rate a track was
// written at, and what a write leaves on the disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "tests/sim/bus_job_support.h"

namespace sim::test {
namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// Behind the first sync of a read the bytes are aligned as on the track: the byte offset in the
// ring at which raw[from ..] continues, or kNotFound.
size_t OffsetInRing(const Bytes& ring, const Bytes& raw, size_t from) {
  for (size_t start = 0; start < ring.size(); ++start) {
    bool same = true;
    for (size_t i = 0; i < 64 && same; ++i) same = raw[from + i] == ring[(start + i) % ring.size()];
    if (same) return start;
  }
  return kNotFound;
}

size_t FirstSyncEnd(const Bytes& raw) {
  for (size_t i = 2; i < raw.size(); ++i) {
    if (raw[i - 2] == 0xFF && raw[i - 1] == 0xFF && raw[i] != 0xFF) return i;
  }
  return kNotFound;
}

// The read from its first sync on is the ring from one place on, around the end and on.
size_t ReadStartInRing(const Bytes& ring, const Bytes& raw) {
  const size_t from = FirstSyncEnd(raw);
  if (from == kNotFound) return kNotFound;
  const size_t offset = OffsetInRing(ring, raw, from);
  if (offset == kNotFound) return kNotFound;
  for (size_t i = from; i < raw.size(); ++i) {
    if (raw[i] != ring[(offset + i - from) % ring.size()]) return kNotFound;
  }
  return (offset + ring.size() - from % ring.size()) % ring.size();
}

struct ZoneCase {
  int track;
  int pages;
  int byteRate;  // the count of the track's 7692, 7142, 6666 or 6250 bytes read at 300 rpm
};

TEST(BusJobReadTrack, ReadsFromWhereTheDiskHasTurnedWithTheZonesByteRate) {
  TestLink link("sim:8=1541-II+:blank");
  for (const ZoneCase& zone : {ZoneCase{1, 32, 1367}, ZoneCase{18, 30, 1270},
                               ZoneCase{25, 28, 1185}, ZoneCase{31, 27, 1111}}) {
    LayPatternTrack(link, 8, 0, zone.track, zone.track);
  }
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  for (const ZoneCase& zone : {ZoneCase{1, 32, 1367}, ZoneCase{18, 30, 1270},
                               ZoneCase{25, 28, 1185}, ZoneCase{31, 27, 1111}}) {
    const Bytes& ring = link.bus().disk(8)->RawTrack(zone.track);
    // Once to bring the head there, then at three moments a quarter turn apart.
    ReadTrackJob(link, zone.pages, zone.track);
    std::vector<size_t> starts;
    for (int turn = 0; turn < 3; ++turn) {
      link.SleepUntil((link.now() / 200'000 + 2) * 200'000 + turn * 50'000);
      Reply reply = ReadTrackJob(link, zone.pages, zone.track);
      ASSERT_EQ(reply.length, zone.pages * 256 + 2) << "track " << zone.track;
      EXPECT_EQ(reply.status, 0x00);
      EXPECT_NEAR(ByteRate(reply), zone.byteRate, 1) << "track " << zone.track;
      const size_t start = ReadStartInRing(ring, RawBytes(reply));
      ASSERT_NE(start, kNotFound) << "track " << zone.track << " read " << turn;
      starts.push_back(start);
    }
    // A quarter turn later the read starts a quarter of the track further on.
    for (size_t i = 1; i < starts.size(); ++i) {
      const size_t moved = (starts[i] + ring.size() - starts[i - 1]) % ring.size();
      EXPECT_NEAR(static_cast<double>(moved), ring.size() / 4.0, 2.0) << "track " << zone.track;
    }
  }
}

TEST(BusJobReadTrack, TheCountIsTheTracksLengthOverTheReadersTurn) {
  const std::string image = MakeImage("speeds.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  // The same disk written by drives turning at 294 and 306 rpm, read at 300; and written and
  // read at 294.
  TestLink link("sim:8=1541-II+:" + image + ":written@294,9=1541-II+:" + image +
                ":written@306,10=1541-II+@294:" + image + ":written@294");
  struct Case {
    int device;
    int track;
    size_t trackBytes;  // one turn of the writing drive at the track's bit rate
    int count;          // those bytes over the reader's turn, 35555.6 us of it
  };
  const Case cases[] = {{8, 1, 7849, 1395},  {8, 31, 6377, 1134}, {9, 1, 7541, 1341},
                        {9, 31, 6127, 1089}, {10, 1, 7849, 1367}, {10, 31, 6377, 1111}};
  for (const Case& c : cases) {
    SCOPED_TRACE("drive " + std::to_string(c.device) + " track " + std::to_string(c.track));
    ASSERT_EQ(link.bus().disk(c.device)->RawTrack(c.track).size(), c.trackBytes);
    ASSERT_EQ(StartCode(link, c.device, "1541_U0"), 0x00);
    std::set<int> counts;
    for (int read = 0; read < 8; ++read) {
      const Reply reply = ReadTrackJob(link, 32, c.track);
      EXPECT_NEAR(ByteRate(reply), c.count, 1);
      counts.insert(ByteRate(reply));
    }
    EXPECT_GT(counts.size(), 1u) << "the count's jitter";
  }
}

TEST(BusJobReadTrack, SecondSideOfA1571In1571ModeAndTracksBeyond35) {
  TestLink link("sim:8=1571:blank,9=1541-II+:blank");
  const auto sideTwo = LayPatternTrack(link, 8, 1, 1, 5);
  const auto track36 = LayPatternTrack(link, 8, 0, 36, 6);
  const auto track40 = LayPatternTrack(link, 9, 0, 40, 7);
  ASSERT_EQ(StartCode(link, 8, "157x_U0"), 0x00);
  // In 1541 mode, as after power-up with a C64, the drive uses its first head only: track 36
  // without bit 7 is the first side's, at its own zone 0.
  Reply reply = ReadTrackJob(link, 27, 36);
  EXPECT_NEAR(ByteRate(reply), 1111, 1);
  EXPECT_EQ(GoodSectors(RawBytes(reply), 36, track36), 17);
  // In 1571 mode it is the second side's first track, at its zone 3.
  link.Command(8, "U0>M1");
  reply = ReadTrackJob(link, 32, 36);
  EXPECT_NEAR(ByteRate(reply), 1367, 1);
  EXPECT_EQ(GoodSectors(RawBytes(reply), 36, sideTwo), 21);
  // With bit 7: the first side's track 36, zone 0.
  reply = ReadTrackJob(link, 27, 36, 0x80);
  EXPECT_NEAR(ByteRate(reply), 1111, 1);
  EXPECT_EQ(GoodSectors(RawBytes(reply), 36, track36), 17);

  ASSERT_EQ(StartCode(link, 9, "1541_U0"), 0x00);
  reply = ReadTrackJob(link, 27, 40);
  EXPECT_NEAR(ByteRate(reply), 1111, 1);
  EXPECT_EQ(GoodSectors(RawBytes(reply), 40, track40), 17);
}

TEST(BusJobReadTrack, AnotherBitRateThanTheTracksGivesWrongBytes) {
  TestLink link("sim:8=1541-II+:blank");
  const auto plans = LayPatternTrack(link, 8, 0, 20, 3);  // zone 2
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  Reply right = ReadTrackJob(link, 30, 20, 0x80 | 0x40);
  EXPECT_EQ(GoodSectors(RawBytes(right), 20, plans), 19);
  for (int zone : {0, 1, 3}) {
    Reply wrong = ReadTrackJob(link, 30, 20, 0x80 | zone << 5);
    ASSERT_EQ(wrong.length, 30 * 256 + 2);
    EXPECT_EQ(GoodSectors(RawBytes(wrong), 20, plans), 0) << "zone " << zone;
    // The syncs survive, and the count still tells the rate the track was written at.
    EXPECT_NE(FirstSyncEnd(RawBytes(wrong)), kNotFound) << "zone " << zone;
    EXPECT_NEAR(ByteRate(wrong), 1270, 1) << "zone " << zone;
  }
}

TEST(BusJobReadTrack, OnlyTheTrackReadingCodeOfTheDrivesFamilyAnswers) {
  TestLink link("sim:8=1541-II+:blank,9=1571:blank");
  for (const char* other : {"1541_U1", "1541_U2", "1541_U3", "157x_U0"}) {
    ASSERT_EQ(StartCode(link, 8, other), 0x00) << other;
    Reply reply = ReadTrackJob(link, 1, 18);
    EXPECT_TRUE(reply.raw.empty()) << other << " does not know the raw read";
  }
  // A page that is not ours at all, even with our signature behind another first byte.
  Bytes page = ReadH65(DriveCodeSource("1541_U0"));
  page[0] = 0xEA;
  StartCode(link, 8, page);
  EXPECT_TRUE(ReadTrackJob(link, 1, 18).raw.empty());
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  EXPECT_EQ(ReadTrackJob(link, 1, 18).length, 258);
  ASSERT_EQ(StartCode(link, 9, "1541_U0"), 0x00);
  EXPECT_TRUE(ReadTrackJob(link, 1, 18).raw.empty()) << "the 1571 runs the 157x code only";
}

TEST(BusJobWriteTrack, AWrittenTrackReadsBackAndAProtectedDiskStaysAsItWas) {
  TestLink link("sim:8=1541-II+:blank");
  const auto old = LayPatternTrack(link, 8, 0, 3, 1);
  const auto fresh = PatternSectors(21, 77);
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  link.Exchange(LoadPagesPacket(BuiltTrack(3, fresh, 7539)), 16);
  Reply written = WriteTrackJob(link, 3);
  ASSERT_EQ(written.length, 1);
  EXPECT_EQ(written.data[0], 0x01);
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  Reply back = ReadTrackJob(link, 32, 3);
  EXPECT_EQ(GoodSectors(RawBytes(back), 3, fresh), 21);
  EXPECT_EQ(GoodSectors(RawBytes(back), 3, old), 0);
  EXPECT_EQ(link.bus().disk(8)->RawTrack(3).size(), 7692u) << "one revolution at 300 rpm";

  const Bytes before = link.bus().disk(8)->RawTrack(3);
  ASSERT_TRUE(link.bus().Inject(Fault{FaultKind::kProtect, 8}));
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  link.Exchange(LoadPagesPacket(BuiltTrack(3, old, 7539)), 16);
  Reply refused = WriteTrackJob(link, 3);
  ASSERT_EQ(refused.length, 1);
  EXPECT_EQ(refused.data[0], 0x08) << "write protected";
  EXPECT_EQ(link.bus().disk(8)->RawTrack(3), before);
}

// The old recording of a track as header after header (sync, header, gap), so that any stretch
// of it longer than 40 bytes holds a whole header.
Bytes HeadersOnly(int track, const DiskId& id, size_t length) {
  const Bytes sector = BuildGcrTrack(track, id, PatternSectors(1, 0), 0, 0);
  const Bytes unit(sector.begin(), sector.begin() + kSyncBytes + kHeaderGcrBytes + kHeaderGapBytes);
  Bytes bytes;
  while (bytes.size() + unit.size() <= length) bytes.insert(bytes.end(), unit.begin(), unit.end());
  bytes.resize(length, kGapByte);
  return bytes;
}

TEST(BusJobWriteTrack, AWriteShorterThanATurnKeepsTheOldRecordingBehindItsSplice) {
  TestLink link("sim:8=1541-II+@294rpm:blank");
  auto& disk = static_cast<GcrDisk&>(*link.bus().disk(8));
  const auto old = LayPatternTrack(link, 8, 0, 10, 2);
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  // Four sectors' worth of new bytes (headers for track 99, to tell them from the old ones):
  // the other sectors of the old recording stay.
  const auto fresh = PatternSectors(4, 50);
  Bytes loaded = BuiltTrack(99, fresh, 4 * 359);
  link.Exchange(LoadPagesPacket(loaded), 16);
  WriteTrackJob(link, 10);
  const Bytes& ring = disk.RawTrack(10);
  EXPECT_EQ(GoodSectors(ring, 99, fresh), 4);
  EXPECT_GE(GoodSectors(ring, 10, old), 21 - 6);
  EXPECT_LE(GoodSectors(ring, 10, old), 21 - 4);
  // Right behind the write's last byte the write current switched off: no flux change there,
  // where the old recording (GCR, never eight zero bits) went on.
  loaded.pop_back();
  const size_t at = OffsetInRing(ring, loaded, 0);
  ASSERT_NE(at, kNotFound);
  EXPECT_EQ(ring[(at + loaded.size() - 1) % ring.size()], loaded.back());
  EXPECT_EQ(ring[(at + loaded.size()) % ring.size()], 0x00);

  // A whole track as a drive at 300 rpm takes it: at 294 rpm a turn holds 7849 bytes, and the
  // rest of the turn is still the old recording, in its share of the old 7692 bytes.
  const DiskId oldId{'O', 'L'};
  disk.SetRawTrack(0, 11, HeadersOnly(11, oldId, 7692), 3);
  const auto whole = PatternSectors(21, 51);
  link.Exchange(LoadPagesPacket(BuiltTrack(99, whole, 7692)), 16);
  WriteTrackJob(link, 11);
  const Bytes& track11 = disk.RawTrack(11);
  EXPECT_EQ(GoodSectors(track11, 99, whole), 21);
  EXPECT_NEAR(static_cast<double>(track11.size()), 7692 + 7692 * (7849 - 7692) / 7849.0, 1.0);
  SectorData data{};
  EXPECT_EQ(ReadGcrSector(track11, 11, 0, &oldId, data), kJobDataBlockNotFound)
      << "an old header is still found";
}

TEST(BusJobWriteTrack, AWriteLongerThanATurnGoesOnOverItsOwnStart) {
  TestLink link("sim:8=1541-II+@306rpm:blank");
  LayPatternTrack(link, 8, 0, 5, 1);
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  // 7692 bytes that never repeat, none of them the $00 that ends the load.
  Bytes bytes(7692);
  uint32_t state = 1;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(1 + (state >> 16) % 255);
  }
  Bytes loaded = bytes;
  loaded.push_back(0x00);
  link.Exchange(LoadPagesPacket(loaded), 16);
  EXPECT_EQ(WriteTrackJob(link, 5).data.at(0), 0x01);
  // 60 / 306 s at 4 MHz / 13 / 8: a turn holds 7541 bytes. From where the write began the
  // track holds its last 151 bytes, written over its first ones, the splice, then the rest.
  constexpr size_t kTurnBytes = 7541;
  Bytes expected(bytes.begin(), bytes.begin() + kTurnBytes);
  std::copy(bytes.begin() + kTurnBytes, bytes.end(), expected.begin());
  expected[bytes.size() - kTurnBytes] = 0x00;
  const Bytes& ring = link.bus().disk(8)->RawTrack(5);
  ASSERT_EQ(ring.size(), kTurnBytes);
  const size_t at = OffsetInRing(ring, expected, 0);
  ASSERT_NE(at, kNotFound);
  for (size_t i = 0; i < kTurnBytes; ++i) {
    ASSERT_EQ(ring[(at + i) % kTurnBytes], expected[i]) << "byte " << i << " of the turn";
  }
}

// Turns made by a disk at 300 rpm drifting D percent along a period P from time 0 to t: the
// integral of 300 x (1 + D / 100 x sin(2 pi t / P)).
double DriftingTurns(double percent, double periodUs, double us) {
  const double omega = 2 * 3.14159265358979323846 / periodUs;
  return (us + percent / 100 * (1 - std::cos(omega * us)) / omega) * 300 / 60e6;
}

TEST(BusJobWriteTrack, ADriftingDiskIsReadWhereItHasTurnedToSinceTheWrite) {
  TestLink link("sim:8=1541-II+@300~3/6s:blank:steady");
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  ReadTrackJob(link, 1, 7);  // the head on track 7
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  Bytes loaded = BuiltTrack(7, PatternSectors(20, 8), 7400);
  link.Exchange(LoadPagesPacket(loaded), 16);
  // Written while the drive turns at its speed, going faster; read half a drift period later,
  // turning at its speed again, going slower: the disk has turned by the integral of its speed.
  constexpr int64_t kWriteUs = 6'000'000;
  constexpr int64_t kReadUs = 9'050'000;
  link.SleepUntil(kWriteUs);
  WriteTrackJob(link, 7);
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  link.SleepUntil(kReadUs);
  const Reply reply = ReadTrackJob(link, 32, 7);
  const Bytes& ring = link.bus().disk(8)->RawTrack(7);
  const size_t written = OffsetInRing(ring, loaded, 0);
  const size_t read = ReadStartInRing(ring, RawBytes(reply));
  ASSERT_NE(written, kNotFound);
  ASSERT_NE(read, kNotFound);
  // Both start the same time after the packet is sent: the BREAK, the packet, the drive taking
  // it, and the motor, which stands each time, running up.
  const BusTiming timing;
  const double startsUs = 2000.0 + 8 * 10e6 / timing.baudRate +
                          static_cast<double>(timing.packetIdleUs + timing.iecAddressUs +
                                              8 * timing.fastSerialByteUs + 1000 + timing.spinUpUs);
  const double turns =
      DriftingTurns(3, 6e6, kReadUs + startsUs) - DriftingTurns(3, 6e6, kWriteUs + startsUs);
  const double expected = (turns - std::floor(turns)) * static_cast<double>(ring.size());
  EXPECT_NEAR(static_cast<double>((read + ring.size() - written) % ring.size()), expected, 3.0);
}

TEST(BusJobWriteTrack, ATrackWrittenAtAnotherZoneKeepsThatBitRate) {
  TestLink link("sim:8=1541-II+:blank");
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  // Track 36 written at zone 3, as a G64 may ask, on a drive turning at 300 rpm.
  const auto fresh = PatternSectors(17, 9);
  link.Exchange(LoadPagesPacket(BuiltTrack(36, fresh, 17 * 359)), 16);
  WriteTrackJob(link, 36, 0x80 | 0x60);
  EXPECT_EQ(link.bus().disk(8)->TrackZone(36), 3) << "the disk keeps the bit rate it was given";
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  // The old zone 0 recording the write left behind is taken at zone 3 too: the count is that of
  // the whole ring.
  const int count = TrackCount(link.bus().disk(8)->RawTrack(36).size());
  Reply atZone3 = ReadTrackJob(link, 32, 36, 0x80 | 0x60);
  EXPECT_NEAR(ByteRate(atZone3), count, 1);
  EXPECT_EQ(GoodSectors(RawBytes(atZone3), 36, fresh), 17);
  Reply atOwnZone = ReadTrackJob(link, 27, 36);
  EXPECT_NEAR(ByteRate(atOwnZone), count, 1);
  EXPECT_EQ(GoodSectors(RawBytes(atOwnZone), 36, fresh), 0);
}

TEST(BusJobWriteTrack, AWrittenDirectoryTrackGivesTheDiskItsIdAndSides) {
  TestLink link("sim:8=1571:blank:1571mode");
  ASSERT_EQ(StartCode(link, 8, "157x_U1"), 0x00);
  auto directory = PatternSectors(19, 4);
  directory[0].data[3] = 0x80;  // the BAM's double-sided flag
  const auto sideTwo = PatternSectors(21, 5);
  link.Exchange(LoadPagesPacket(BuiltTrack(36, sideTwo, 21 * 359)), 16);
  WriteTrackJob(link, 36);
  link.Exchange(LoadPagesPacket(BuiltTrack(18, directory, 19 * 369)), 16);
  WriteTrackJob(link, 18);
  auto& disk = static_cast<GcrDisk&>(*link.bus().disk(8));
  EXPECT_EQ(disk.id(), (DiskId{'J', 'B'}));
  ASSERT_TRUE(disk.IsDoubleSided());
  SectorData data{};
  EXPECT_EQ(disk.ReadSector(36, 0, data), kJobOk) << "DOS track 36 is the second side's first";
  EXPECT_EQ(data, sideTwo[0].data);
}

}  // namespace
}  // namespace sim::test
