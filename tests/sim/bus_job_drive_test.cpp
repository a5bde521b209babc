// The virtual drive code's other jobs (drive memory, the head bump, ROM pages, the speed
// measurement), its eight files, and the faults of drives that run it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "sim/bus/faults.h"
#include "tests/sim/bus_job_support.h"

namespace sim::test {
namespace {

// The index of the first byte that is not 0 in [from, to), or to.
size_t FirstNonZero(const Bytes& bytes, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != 0) return i;
  }
  return to;
}

const char* const kCodeFiles[] = {"1541_U0", "1541_U1", "1541_U2", "1541_U3",
                                  "157x_U0", "157x_U1", "157x_U2", "157x_U3"};

TEST(BusJobCode, EachFileIsOnePageThatReturnsAtOnceAndNamesItselfAndLiesWhereTestsRun) {
  for (const char* name : kCodeFiles) {
    const Bytes page = ReadH65(DriveCodeSource(name));
    ASSERT_EQ(page.size(), 256u) << name;
    EXPECT_EQ(page[0], 0x60) << name << ": RTS first";
    std::string text(page.begin() + 1, std::find(page.begin() + 1, page.end(), 0));
    std::string family = std::string(name).substr(0, 4) == "1541" ? "1541" : "157X";
    EXPECT_NE(text.find(family + " U" + std::string(1, name[6])), std::string::npos) << text;
    // The program loads drive code from its current folder: the tests run where the copy is.
    EXPECT_EQ(ReadH65(std::string(name) + ".h65"), page)
        << name << " in " << std::filesystem::current_path();
  }
}

// Which jobs each page answers, by the job's packet.
TEST(BusJobCode, EachJobNeedsItsOwnPageAndOneOfOursDoesForMemory) {
  struct JobCase {
    Bytes packet;
    int area;
    int page;  // -1: any
  };
  const JobCase jobs[] = {
      {JobBytes(0x0D, 0x00, 0x00, 0x1C, 0), 16, -1},
      {JobBytes(0x0D, 0x01, 0x00, 0x05, 0x42), 16, -1},
      {JobBytes(0x0E, 0x05, 1, 18, 0), 258, 0},
      {JobBytes(0x0F, 0x81, 2, 18, 0), 16, 1},
      {JobBytes(0x0E, 0x08, 1, 0x00, 0xC0), 258, 2},
      {JobBytes(0x10, 0x06, 18, 0, 0), 16, 3},
  };
  TestLink link("sim:8=1570:blank");
  link.bus().Inject(Fault{FaultKind::kProtect, 8});
  for (int number = 0; number < 4; ++number) {
    ASSERT_EQ(StartCode(link, 8, "157x_U" + std::to_string(number)), 0x00);
    for (const JobCase& job : jobs) {
      Reply reply = link.Exchange(job.packet, job.area);
      const bool answers = job.page < 0 || job.page == number;
      EXPECT_EQ(!reply.raw.empty(), answers)
          << "U" << number << " job " << int(job.packet[0]) << "/" << int(job.packet[2]);
      if (answers) {
        EXPECT_EQ(reply.raw.size(), static_cast<size_t>(job.area + 4));
      }
    }
  }
  // An unknown sub-function gets no answer from any page.
  EXPECT_TRUE(link.Exchange(JobBytes(0x0E, 0x07, 1, 18, 0), 258).raw.empty());
}

TEST(BusJobMemory, WriteProtectSenseAndTheHeadBumpInTheJobQueue) {
  TestLink link("sim:8=1541-II+:blank");
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  EXPECT_EQ(MemoryJob(link, 0x1C00).data.at(0) & 0x10, 0x10) << "no tab";
  link.bus().Inject(Fault{FaultKind::kProtect, 8});
  EXPECT_EQ(MemoryJob(link, 0x1C00).data.at(0) & 0x10, 0x00) << "protected";
  link.bus().Inject(Fault{FaultKind::kUnprotect, 8});
  EXPECT_EQ(MemoryJob(link, 0x1C00).data.at(0) & 0x10, 0x10);

  // The head bump as the program asks for it: track 1 at $0006, then $C0 into the first slot.
  EXPECT_EQ(MemoryJob(link, 0x0006, 1).data.at(0), 1);
  MemoryJob(link, 0x0000, 0xC0);
  const int64_t started = link.now();
  int polls = 0;
  uint8_t slot = 0xC0;
  while (slot >= 0x80 && polls < 100) {
    slot = MemoryJob(link, 0x0000).data.at(0);
    if (slot >= 0x80) {
      EXPECT_EQ(slot, 0xC0) << "the slot keeps the job while it runs";
    }
    ++polls;
  }
  EXPECT_EQ(slot, 0x01);
  EXPECT_GT(polls, 2) << "the bump takes a while";
  const int64_t took = link.now() - started;
  EXPECT_GT(took, 200'000);
  EXPECT_LT(took, 1'000'000);
  EXPECT_EQ(link.bus().drive(8)->mechanics().headTrack(), 1);
}

TEST(BusJobMemory, PagesOfRomAndTheTwoBytesBehind) {
  TestLink link("sim:8=1541-II+,9=1571");
  ASSERT_EQ(StartCode(link, 8, "1541_U2"), 0x00);
  Reply reply = link.Exchange(JobBytes(0x0E, 0x08, 0x40, 0x00, 0xC0), 0x40 * 256 + 2);
  ASSERT_EQ(reply.length, 0x40 * 256 + 2);
  DriveMemory& memory = link.bus().drive(8)->memory();
  for (size_t i = 0; i < 0x4000; ++i) {
    ASSERT_EQ(reply.data[i], memory.Read(static_cast<uint16_t>(0xC000 + i))) << i;
  }
  EXPECT_EQ(reply.data[0xFF40 - 0xC000], 0x0F) << "the 1541-II's model byte";
  // The DOS shows the same byte.
  EXPECT_EQ(link.MemoryRead(8, 0xFF40, 1), Bytes{0x0F});

  ASSERT_EQ(StartCode(link, 9, "157x_U2"), 0x00);
  reply = link.Exchange(JobBytes(0x0E, 0x08, 0x80, 0x00, 0x80), 0x80 * 256 + 2);
  ASSERT_EQ(reply.length, 0x80 * 256 + 2);
  EXPECT_EQ(reply.data[0xFF40 - 0x8000], 0xAC);
}

uint32_t SpeedTicks(TestLink& link) {
  Reply reply = link.Exchange(JobBytes(0x10, 0x06, 18, 0, 0), 16);
  EXPECT_EQ(reply.length, 3);
  if (reply.data.size() < 3) return 0;
  return reply.data[0] | reply.data[1] << 8 | reply.data[2] << 16;
}

TEST(BusJobSpeed, OneTurnInTicksOfTheDrivesSpeed) {
  TestLink link("sim:8=1541-II+:blank,9=1571@310rpm:blank:steady");
  LayPatternTrack(link, 8, 0, 18, 1);
  LayPatternTrack(link, 9, 0, 18, 1);
  link.bus().drive(8)->mechanics().SetSpeedJitterTicks(0);
  ASSERT_EQ(StartCode(link, 8, "1541_U3"), 0x00);
  EXPECT_EQ(SpeedTicks(link), 368640u) << "200000 us at 300 rpm";
  ASSERT_EQ(StartCode(link, 9, "157x_U3"), 0x00);
  EXPECT_EQ(SpeedTicks(link), 356748u) << "193548.4 us at 310 rpm";
  // With jitter the ticks wander a little around the turn.
  link.bus().drive(9)->mechanics().SetSpeedJitterTicks(150);
  std::set<uint32_t> seen;
  for (int i = 0; i < 8; ++i) {
    const uint32_t ticks = SpeedTicks(link);
    EXPECT_NEAR(static_cast<double>(ticks), 356748.0, 150.0);
    seen.insert(ticks);
  }
  EXPECT_GT(seen.size(), 1u);
  // A motor that does not turn, or a track without a sync, gives 0.
  link.bus().drive(9)->mechanics().SetSpeedJitterTicks(0);
  auto noSync = PatternSectors(19, 1);
  for (SectorPlan& plan : noSync) plan.defect = kJobNoSync;
  static_cast<GcrDisk&>(*link.bus().disk(9)).LayTrack(0, 18, DiskId{'J', 'B'}, noSync);
  EXPECT_EQ(SpeedTicks(link), 0u);
  ASSERT_EQ(StartCode(link, 8, "1541_U3"), 0x00);
  link.bus().Inject(Fault{FaultKind::kMotorStop, 8});
  EXPECT_EQ(SpeedTicks(link), 0u);
  link.bus().Inject(Fault{FaultKind::kMotorStart, 8});
  EXPECT_EQ(SpeedTicks(link), 368640u);
}

TEST(BusJobSpeed, ADriftingDriveTimesTheTurnAtItsSpeedOfTheMoment) {
  // 3 % either way along a minute: fastest at 15 s, back at its speed at 30 s.
  TestLink link("sim:8=1541-II+@300~3/60s:blank:steady");
  LayPatternTrack(link, 8, 0, 18, 1);
  ASSERT_EQ(StartCode(link, 8, "1541_U3"), 0x00);
  // Each time the motor is brought up to speed first, a little before.
  link.SleepUntil(14'000'000);
  SpeedTicks(link);
  link.SleepUntil(15'000'000);
  EXPECT_NEAR(SpeedTicks(link), 368640 / 1.03, 300.0);
  link.SleepUntil(29'000'000);
  SpeedTicks(link);
  link.SleepUntil(30'000'000);
  EXPECT_NEAR(SpeedTicks(link), 368640, 300.0);
}

// Puts a job into slot 0 of the controller's queue with its track, and waits for its result.
uint8_t RunQueuedJob(TestLink& link, uint8_t code, int track) {
  MemoryJob(link, 0x0006, static_cast<uint8_t>(track));
  MemoryJob(link, 0x0000, code);
  uint8_t slot = code;
  for (int polls = 0; slot >= 0x80 && polls < 100; ++polls) {
    slot = MemoryJob(link, 0x0000).data.at(0);
  }
  return slot;
}

Bytes MemoryBytes(TestLink& link, uint16_t from, int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    bytes.push_back(MemoryJob(link, static_cast<uint16_t>(from + i)).data.at(0));
  }
  return bytes;
}

TEST(BusJobQueue, TheSeekLeavesTheFirstHeaderThatComesUnderTheHead) {
  TestLink link("sim:8=1541-II+:blank,9=1571:blank:1571mode");
  auto plans = PatternSectors(19, 2);
  plans[0].defect = kJobIdMismatch;  // sector 0's header carries "KB" instead of "JB"
  static_cast<GcrDisk&>(*link.bus().disk(8)).LayTrack(0, 18, DiskId{'J', 'B'}, plans);
  ASSERT_EQ(StartCode(link, 8, "1541_U1"), 0x00);
  ASSERT_EQ(RunQueuedJob(link, 0xB0, 18), 0x01) << "the motor up to speed";
  // Two turns and a 76th apart: the seek starts at 76 places round the track.
  constexpr int kPlaces = 76;
  constexpr int64_t kStepUs = 400'000 + 200'000 / kPlaces;
  std::vector<int> sectors;
  for (int place = 0; place < kPlaces; ++place) {
    link.SleepUntil(1'000'000 + place * kStepUs);
    ASSERT_EQ(RunQueuedJob(link, 0xB0, 18), 0x01);
    // $16 ID1, $17 ID2, $18 track, $19 sector, $1A checksum; the ID also at $12/$13.
    const Bytes header = MemoryBytes(link, 0x0016, 5);
    EXPECT_EQ(header[2], 18);
    EXPECT_EQ(header[4], header[0] ^ header[1] ^ header[2] ^ header[3]);
    EXPECT_EQ(header[0], header[3] == 0 ? 'K' : 'J') << "sector " << int(header[3]);
    EXPECT_EQ(header[1], 'B');
    EXPECT_EQ(MemoryBytes(link, 0x0012, 2), Bytes(header.begin(), header.begin() + 2));
    sectors.push_back(header[3]);
  }
  // The sector read moves on round the track with the place the seek starts at.
  for (int sector = 0; sector < 19; ++sector) {
    const auto times = std::count(sectors.begin(), sectors.end(), sector);
    EXPECT_GE(times, 3) << "sector " << sector;
    EXPECT_LE(times, 6) << "sector " << sector;
  }
  for (size_t i = 1; i < sectors.size(); ++i) {
    const int step = (sectors[i] - sectors[i - 1] + 19) % 19;
    EXPECT_LE(step, 1) << "after place " << i - 1;
  }

  // No sync: a stopped motor, no disk.
  link.bus().Inject(Fault{FaultKind::kMotorStop, 8});
  EXPECT_EQ(RunQueuedJob(link, 0xB0, 18), 0x03);
  link.bus().Inject(Fault{FaultKind::kMotorStart, 8});
  link.bus().Inject(Fault{FaultKind::kEject, 8});
  EXPECT_EQ(RunQueuedJob(link, 0xB0, 18), 0x03);

  // On a double-sided disk in a 1571 in 1571 mode, DOS track 53 is track 18 of the second side.
  auto& doubleSided = static_cast<GcrDisk&>(*link.bus().disk(9));
  doubleSided.SetDoubleSided(true);
  LayPatternTrack(link, 9, 1, 18, 3);
  ASSERT_EQ(StartCode(link, 9, "157x_U1"), 0x00);
  EXPECT_EQ(RunQueuedJob(link, 0xB0, 53), 0x01);
  EXPECT_EQ(MemoryBytes(link, 0x0018, 1), Bytes{53});
}

// The stepper knows no place: after power-on or a reset the DOS no longer knows the head's
// track ($0022 is 0) until a seek finds it (a header under the head, or a bump) or the code
// steps it from what the DOS believes.
TEST(BusJobQueue, AfterARestartTheHeadIsKnownOnlyOnceFoundOrBumped) {
  TestLink link("sim:8=1541-II+:blank");
  VirtualDrive& drive = *link.bus().drive(8);
  const auto track5 = LayPatternTrack(link, 8, 0, 5, 1);
  LayPatternTrack(link, 8, 0, 18, 2);
  LayPatternTrack(link, 8, 0, 23, 3);
  const Bytes readCode = ReadH65(DriveCodeSource("1541_U0"));
  ASSERT_EQ(StartCodeOnly(link, 8, readCode), 0x00);
  EXPECT_EQ(MemoryJob(link, 0x0022).data.at(0), 0) << "nothing known since power-on";
  // The code steps by track 5 less what $0022 says: five tracks inward from 18.
  const Reply read = ReadTrackJob(link, 32, 5);
  EXPECT_EQ(GoodSectors(RawBytes(read), 5, track5), 0);
  EXPECT_EQ(drive.mechanics().headTrack(), 23);
  EXPECT_EQ(MemoryJob(link, 0x0022).data.at(0), 5) << "what the code took it to";

  // After a reset a seek reads the header under the head first (track 23), then steps to 5.
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  ASSERT_EQ(StartCodeOnly(link, 8, readCode), 0x00);
  EXPECT_EQ(MemoryJob(link, 0x0022).data.at(0), 0);
  EXPECT_EQ(RunQueuedJob(link, 0xB0, 5), 0x01);
  EXPECT_EQ(MemoryBytes(link, 0x0018, 1), Bytes{5});
  EXPECT_EQ(drive.mechanics().headTrack(), 5);
  EXPECT_EQ(MemoryJob(link, 0x0022).data.at(0), 5);

  // With no header under it (a track nothing wrote) the controller bumps the head to track 1.
  drive.mechanics().SetHeadTrack(30);
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  ASSERT_EQ(StartCodeOnly(link, 8, readCode), 0x00);
  const int64_t started = link.now();
  EXPECT_EQ(RunQueuedJob(link, 0xB0, 5), 0x01);
  EXPECT_GT(link.now() - started, 92 * 3'000) << "the bump's 92 half-steps";
  EXPECT_EQ(drive.mechanics().headTrack(), 5);

  // The DOS logging a disk in seeks track 18 the same way, and leaves the head known there.
  drive.mechanics().SetHeadTrack(30);
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  link.Command(8, "I");
  link.Sleep(2'000'000);
  EXPECT_EQ(drive.mechanics().headTrack(), 18);
  EXPECT_EQ(link.MemoryRead(8, 0x0022, 1), Bytes{18});
}

TEST(BusJobFaults, UnformattedAndWrongRateTracks) {
  TestLink link("sim:8=1541-II+:blank");
  LayPatternTrack(link, 8, 0, 5, 1);
  const auto plans = LayPatternTrack(link, 8, 0, 6, 2);
  ASSERT_TRUE(link.bus().Inject(Fault{FaultKind::kUnformatTrack, 8, 5}));
  ASSERT_TRUE(link.bus().Inject(Fault{FaultKind::kWrongRateTrack, 8, 6}));
  EXPECT_FALSE(link.bus().Inject(Fault{FaultKind::kUnformatTrack, 8, 99})) << "no such track";
  EXPECT_FALSE(link.bus().Inject(Fault{FaultKind::kUnformatTrack, 9, 5})) << "no such drive";
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  const Bytes noSync = RawBytes(ReadTrackJob(link, 32, 5));
  for (size_t i = 1; i < noSync.size(); ++i) {
    ASSERT_FALSE(noSync[i - 1] == 0xFF && noSync[i] == 0xFF) << "a sync at " << i;
  }
  // Track 6 (zone 3) now lies at zone 1's rate: the count says so, and only that rate reads it.
  Reply asZone3 = ReadTrackJob(link, 32, 6);
  EXPECT_NEAR(ByteRate(asZone3), 1185, 1);
  EXPECT_EQ(GoodSectors(RawBytes(asZone3), 6, plans), 0);
  Reply asZone1 = ReadTrackJob(link, 32, 6, 0x80 | 0x20);
  EXPECT_EQ(GoodSectors(RawBytes(asZone1), 6, plans), 18) << "as many as a turn holds";
}

TEST(BusJobFaults, DiskPulledOutDuringAReadAndCodeThatHangs) {
  TestLink link("sim:8=1541-II+:blank");
  LayPatternTrack(link, 8, 0, 1, 1);
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  ASSERT_TRUE(link.bus().Inject(Fault{FaultKind::kPullDuringJob, 8}));
  const Bytes raw = RawBytes(ReadTrackJob(link, 32, 1));
  EXPECT_NE(FirstNonZero(raw, 0, raw.size() / 2), raw.size() / 2) << "the first half was read";
  EXPECT_EQ(FirstNonZero(raw, raw.size() / 2, raw.size()), raw.size()) << "then nothing";
  EXPECT_EQ(link.bus().disk(8), nullptr) << "the disk is out";
  EXPECT_EQ(FirstNonZero(RawBytes(ReadTrackJob(link, 32, 1)), 0, 8192), 8192u);

  ASSERT_TRUE(link.bus().Inject(Fault{FaultKind::kCodeHang, 8}));
  EXPECT_TRUE(ReadTrackJob(link, 32, 1).raw.empty());
  EXPECT_TRUE(MemoryJob(link, 0x1C00).raw.empty());
  // A bus reset restarts the drive; its code then has to be started again.
  EXPECT_EQ(link.Exchange(ResetPacket(), 0).status, 0x00);
  ASSERT_EQ(StartCode(link, 8, "1541_U0"), 0x00);
  EXPECT_EQ(ReadTrackJob(link, 1, 1).length, 258);
}

TEST(BusJobFaults, ScenarioWords) {
  Fault fault;
  std::string error;
  ASSERT_TRUE(ParseFault("unformat 8 18", &fault, &error)) << error;
  EXPECT_EQ(fault.kind, FaultKind::kUnformatTrack);
  EXPECT_EQ(fault.device, 8);
  EXPECT_EQ(fault.track, 18);
  ASSERT_TRUE(ParseFault("hangcode 9", &fault, &error)) << error;
  EXPECT_EQ(fault.kind, FaultKind::kCodeHang);
  for (const char* word : {"pullout 8", "motorstop 8", "motorstart 8", "wrongrate 8 1"}) {
    EXPECT_TRUE(ParseFault(word, &fault, &error)) << word << ": " << error;
  }
  EXPECT_FALSE(ParseFault("wrongrate 8", &fault, &error));
  EXPECT_EQ(error, "fault wrongrate needs a device and a track number, e.g. \"wrongrate 8 18\"");
  EXPECT_FALSE(ParseFault("pullout 8 3", &fault, &error));
}

}  // namespace
}  // namespace sim::test
