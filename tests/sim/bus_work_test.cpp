// A drive's work in time: what a fault that lands in the middle of a track write or read, a 1581
// burst or a DOS format does to the disk and to the reply, and the write whose data stops while
// the write gate stays on.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/media/sector_disk.h"
#include "tests/sim/bus_job_support.h"

namespace sim::test {
namespace {

// Sends a packet and lets the bus take it: the drive's work has begun.
const DriveWork& Send(TestLink& link, const Bytes& packet, int device) {
  link.BreakPulse();
  link.Drain();
  link.port().Write(packet.data(), static_cast<int>(packet.size()));
  link.Sleep(1000);
  link.port().BytesWaiting();
  const DriveWork* work = link.bus().drive(device)->work();
  EXPECT_NE(work, nullptr);
  return *work;
}

// The moment `fraction` of the way through the work's time on the disk.
int64_t Within(const DriveWork& work, double fraction) {
  return work.startUs() +
         static_cast<int64_t>(fraction * static_cast<double>(work.diskEndUs() - work.startUs()));
}

// Everything that arrives within a while.
Bytes Arrived(TestLink& link, int64_t forUs) {
  link.Sleep(forUs);
  return link.Drain();
}

Bytes Twice(const Bytes& ring) {
  Bytes bytes = ring;
  bytes.insert(bytes.end(), ring.begin(), ring.end());
  return bytes;
}

// How many bytes from the start of `written` the ring holds in a row, from where it holds its
// first 64.
size_t WrittenRun(const Bytes& ring, const Bytes& written) {
  for (size_t at = 0; at < ring.size(); ++at) {
    if (!std::equal(written.begin(), written.begin() + 64, Twice(ring).begin() + at)) continue;
    size_t run = 0;
    while (run < written.size() && ring[(at + run) % ring.size()] == written[run]) ++run;
    EXPECT_EQ(ring[(at + run) % ring.size()], 0x00) << "the splice behind the last byte";
    return run;
  }
  return 0;
}

TEST(BusWork, ATrackWriteCutPartWayIsNewUpToThereThenTheSpliceThenTheOldRecording) {
  struct Case {
    std::string cut;  // a fault, or "break": the adapter gives the job up (the program's RESET)
    bool replies;
  };
  for (const Case& c : {Case{"pullout 8 0.4", true}, Case{"protect 8", true},
                        Case{"poweroff 8", false}, Case{"break", false}}) {
    SCOPED_TRACE(c.cut);
    TestLink link("sim:8=1541-II+:blank");
    const auto old = LayPatternTrack(link, 8, 0, 10, 2);
    const auto fresh = PatternSectors(19, 60);
    Bytes loaded = BuiltTrack(99, fresh, 7600);
    ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
    link.Exchange(LoadPagesPacket(loaded), 16);
    Fault fault;
    std::string error;
    if (c.cut != "break") {
      ASSERT_TRUE(ParseFault(c.cut, &fault, &error)) << error;
    }
    if (fault.kind == FaultKind::kPullDuringJob) link.bus().Inject(fault);
    const DriveWork& work = Send(link, JobBytes(0x0F, 0x81, 2, 10, 0), 8);
    const int64_t cutUs = Within(work, 0.4);
    if (c.cut == "break") {
      link.SleepUntil(cutUs);
      link.port().SetBreak(true);
      link.port().SetBreak(false);
    } else if (fault.kind != FaultKind::kPullDuringJob) {
      link.bus().InjectAt(cutUs, fault);
    }
    const Bytes reply = Arrived(link, 1'000'000);
    EXPECT_EQ(reply.size() == 20 && reply.back() == 0x0F && reply[0] == 0x01, c.replies);
    const Bytes ring = link.bus().drive(8)->heldDisk()->RawTrack(10);
    loaded.pop_back();
    EXPECT_NEAR(static_cast<double>(WrittenRun(ring, loaded)), 0.4 * 7600, 2.0);
    EXPECT_GE(GoodSectors(Twice(ring), 10, old), 10) << "the old sectors after the cut";
  }
}

TEST(BusWork, AReadIsForwardedAsTheDiskGivesItAndAVanishingDriveLeavesItsReplyUnended) {
  TestLink link("sim:8=1541-II+:blank");
  LayPatternTrack(link, 8, 0, 1, 1);
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  const DriveWork& work = Send(link, JobBytes(0x0E, 0x05, 32, 1, 0), 8);
  // One byte every 26 us (zone 3) from the start of the read; the line keeps up with it.
  const int64_t startUs = work.startUs();
  link.SleepUntil(startUs + 1000 * 26 + 100);
  EXPECT_NEAR(link.port().BytesWaiting(), 1000, 2);
  link.bus().InjectAt(startUs + 3000 * 26 + 13, Fault{FaultKind::kPowerOff, 8});
  const Bytes arrived = Arrived(link, 2'000'000);
  EXPECT_NEAR(static_cast<double>(arrived.size()), 3000, 3.0)
      << "the bytes up to where the drive stopped, and no end";
}

// The data stops halfway and the gate stays on: the drive writes the last byte it got round
// and round the track, answering nothing, until the bus reset restarts it.
TEST(BusWork, AWriteWhoseDataStopsWithTheGateOnLeavesOneRepeatedByteUntilTheReset) {
  TestLink link("sim:8=1541-II+:blank");
  LayPatternTrack(link, 8, 0, 10, 2);
  Bytes loaded = BuiltTrack(10, PatternSectors(21, 61), 7600);
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  link.Exchange(LoadPagesPacket(loaded), 16);
  link.bus().Inject(Fault{FaultKind::kStuckWrite, 8, 0, 0.5});
  EXPECT_TRUE(WriteTrackJob(link, 10).raw.empty());
  EXPECT_TRUE(MemoryJob(link, 0x1C00).raw.empty()) << "the code is stuck in its write";
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  const Bytes& ring = link.bus().disk(8)->RawTrack(10);
  const uint8_t last = loaded[(loaded.size() - 1) / 2 - 1];
  EXPECT_EQ(std::count(ring.begin(), ring.end(), last), static_cast<long>(ring.size()) - 1);
  EXPECT_EQ(std::count(ring.begin(), ring.end(), 0x00), 1) << "the splice where the reset came";
}

// The 1581 reads a track side into its cache in one revolution and writes its sectors one after
// the other: a disk that leaves takes the sectors still to come, a tab stops the writing.
TEST(BusWork, A1581BurstCutShortLosesTheSectorsItHadNotReached) {
  TestLink link("sim:8=1581:blank");
  link.Exchange(WritePacket(8, 15, ToBytes("U0\x06")), 16);
  link.Exchange(ReadPacket(8, 15, 64), 64, 100'000'000);
  auto& disk = static_cast<SectorDisk&>(*link.bus().disk(8));
  for (int s = 0; s < 40; ++s) disk.Data(5, s).fill(static_cast<uint8_t>(s + 1));

  const DriveWork& read = Send(link, {0x08, 0x0A, 8, 0x0F, 'U', '0', 0xC0, 5, 0, 1}, 8);
  link.bus().InjectAt(Within(read, 0.5) + 10, Fault{FaultKind::kEject, 8});
  const Bytes reply = Arrived(link, 2'000'000);
  ASSERT_EQ(reply.size(), 5121u + 4);
  EXPECT_EQ(reply[0] & 0x0F, 0x0F) << "no drive";
  EXPECT_EQ(reply[1 + 9 * 256], 10) << "sector 9 passed before the disk left";
  EXPECT_EQ(reply[1 + 10 * 256], 0) << "sector 10 did not";
  EXPECT_EQ(link.ErrorChannel(8), "74,DRIVE NOT READY,05,10\r");

  link.bus().Inject(Fault{FaultKind::kInsert, 8});
  // The DOS's work on the disk takes the news of the change.
  link.Exchange(WritePacket(8, 15, ToBytes("I")), 16);
  link.Exchange(ReadPacket(8, 15, 64), 64, 10'000'000);
  Bytes load{0x0B, 0x00, 40};
  load.resize(3 + 40 * 256, 0xEE);
  link.Exchange(load, 16);
  const DriveWork& write = Send(link, {0x09, 0x0A, 8, 0x0F, 'U', '0', 0xC2, 5, 0, 40}, 8);
  // The second revolution writes sectors 20 to 39: the tab comes in sector 20.
  link.bus().InjectAt(write.diskEndUs() - 200'000 + 5'000, Fault{FaultKind::kProtect, 8});
  EXPECT_EQ(Arrived(link, 2'000'000).at(0) & 0x0F, 0x08) << "write protected";
  // The first side went back to the disk as the head turned to the second; the second side
  // was still in the track cache.
  int written = 0;
  while (written < 40 && disk.Data(5, written)[0] == 0xEE) ++written;
  EXPECT_EQ(written, 20);
  for (int s = written; s < 40; ++s) EXPECT_EQ(disk.Data(5, s)[0], s + 1) << "sector " << s;
}

// A format lays its tracks one after the other: cut short, the tracks it reached carry the new
// ID, the rest and the old directory stay, and the drive answers at once naming the track.
TEST(BusWork, AFormatCutShortKeepsTheTracksItReachedAndTellsWhereItStopped) {
  const std::string image = MakeImage("cutformat.d64", "ab");
  SKIP_WITHOUT_IMAGE(image);
  TestLink link("sim:8=1541:" + image);
  const DriveWork& format = Send(link, WritePacket(8, 15, ToBytes("N:NEW,XY")), 8);
  // Tracks take equal shares of the time, each written in the first half of its share.
  link.bus().InjectAt(Within(format, 17.25 / 35), Fault{FaultKind::kEject, 8});
  const int64_t asked = link.now();
  const Reply answer = link.Exchange(ReadPacket(8, 15, 64), 64, 20'000'000);
  EXPECT_EQ(std::string(answer.data.begin(), answer.data.end()), "21,READ ERROR,18,00\r");
  EXPECT_LT(link.now() - asked, 8'000'000) << "not the 14 s of the whole format";
  Disk& disk = *link.bus().drive(8)->heldDisk();
  EXPECT_EQ(disk.HeaderId(17), (std::array<uint8_t, 2>{'X', 'Y'}));
  EXPECT_EQ(disk.HeaderId(19), (std::array<uint8_t, 2>{'A', 'B'}));
  SectorData data{};
  const DiskId newId{'X', 'Y'};
  const Bytes track18 = Twice(disk.RawTrack(18));
  int fresh = 0;
  for (int s = 0; s < 19; ++s) fresh += ReadGcrSector(track18, 18, s, &newId, data) == kJobOk;
  EXPECT_GT(fresh, 5) << "half of track 18 is new";
  EXPECT_LT(fresh, 13);
}

}  // namespace
}  // namespace sim::test
