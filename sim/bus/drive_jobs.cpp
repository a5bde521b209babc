#include "sim/bus/drive_jobs.h"

#include <algorithm>
#include <cmath>

#include "sim/bus/drive_code.h"
#include "sim/bus/protocol.h"
#include "sim/bus/track_faults.h"
#include "sim/bus/track_work.h"
#include "sim/media/gcr_disk.h"
#include "sim/media/geometry.h"
#include "sim/media/head_signal.h"
#include "sim/media/raw_track.h"

namespace sim {

namespace {

// Job packet layout: opcode, length, sub-function, parameters p1 to p4, $AA.
constexpr size_t kOpcodeAt = 0;
constexpr size_t kSubAt = 2;
constexpr size_t kP1At = 3;
constexpr size_t kP2At = 4;
constexpr size_t kP3At = 5;
constexpr size_t kPacketLength = 8;

struct JobPacketKind {
  Opcode opcode;
  uint8_t sub;
  JobKind job;
};

constexpr JobPacketKind kJobPackets[] = {
    {Opcode::kJobMemory, 0x00, JobKind::kMemoryRead},
    {Opcode::kJobMemory, 0x01, JobKind::kMemoryWrite},
    {Opcode::kJobReadPages, 0x05, JobKind::kReadTrack},
    {Opcode::kJobReadPages, 0x08, JobKind::kReadMemoryPages},
    {Opcode::kJobWriteTrack, 0x81, JobKind::kWriteTrack},
    {Opcode::kJobMeasureSpeed, 0x06, JobKind::kMeasureSpeed},
};

constexpr uint8_t kExplicitZone = 0x80;
constexpr int kZoneShift = 5;
constexpr uint16_t kQueueSlots = 6;
constexpr uint8_t kJobCodeMin = 0x80;
constexpr uint8_t kWriteDone = 0x01;
constexpr uint8_t kWriteProtected = 0x08;
constexpr double kByteRateWindowUs = 35555.5555555556;
constexpr double kTicksPerUs = 1.8432;
// The speed code gives up when no sync comes by in this many turns.
constexpr double kSpeedTimeoutTurns = 2.0;

std::optional<JobKind> JobOf(std::span<const uint8_t> packet) {
  for (const JobPacketKind& kind : kJobPackets) {
    if (static_cast<uint8_t>(kind.opcode) == packet[kOpcodeAt] && kind.sub == packet[kSubAt]) {
      return kind.job;
    }
  }
  return std::nullopt;
}

// Where the code takes the head: side and track on the side, and the zone of the bit clock for
// that track. The head gets there only when the DOS knew where it was (drive_mechanics.h).
struct HeadPlace {
  int side = 0;
  int track = 1;
  int zone = 0;
};

// A 1571 in 1541 mode works with its first head only, as the DOS does: tracks 36-42 are then
// the first side's tracks beyond 35 (as on a 1570), higher numbers leave the head at the stop.
HeadPlace PlaceOf(const VirtualDrive& drive, int track, int density) {
  HeadPlace place;
  const bool explicitZone = density & kExplicitZone;
  if (drive.In1571Mode() && !explicitZone && track >= kSideTwoFirstTrack) {
    place.side = 1;
    track -= kSideTwoFirstTrack - 1;
  }
  place.track = std::clamp(track, 1, kGcrMaxTrack);
  place.zone = explicitZone ? (density >> kZoneShift) & 0x03 : GcrDensityOfTrack(place.track);
  return place;
}

GcrDisk* GcrDiskIn(VirtualDrive& drive) {
  Disk* disk = drive.disk();
  return disk != nullptr && disk->IsGcr() ? static_cast<GcrDisk*>(disk) : nullptr;
}

int64_t LinkUs(VirtualDrive& drive, const BusTiming& timing, size_t bytes) {
  const bool fast = drive.model().board.fastSerial || drive.memory().fastSerialDriver();
  return static_cast<int64_t>(bytes) * (fast ? timing.fastSerialByteUs : timing.slowSerialByteUs);
}

std::vector<uint8_t> LittleEndian(uint32_t value, int bytes) {
  std::vector<uint8_t> out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}

JobAnswer ReadTrack(VirtualDrive& drive, std::span<const uint8_t> packet, const BusTiming& timing) {
  DriveMechanics& mechanics = drive.mechanics();
  const size_t count = static_cast<size_t>(packet[kP1At]) * 256;
  const HeadPlace place = PlaceOf(drive, packet[kP2At], packet[kP3At]);
  drive.AddWorkUs(mechanics.StepHead(drive.memory(), place.track));
  const int64_t byteUs = ZoneByteUs(place.zone);
  const int64_t readUs = static_cast<int64_t>(count) * byteUs;
  drive.AddWorkUs(drive.MotorUpUs(drive.OperationNowUs(), readUs));
  const int64_t readStartUs = drive.OperationNowUs();
  GcrDisk* disk = GcrDiskIn(drive);
  std::vector<uint8_t> data(count, 0);
  // With no disk turning under it the head picks up nothing: zero bits at the drive's clock.
  int rateCount = ByteRateCount(place.zone);
  if (disk != nullptr && !mechanics.motorStopped()) {
    GcrDisk::Track& track = disk->TrackOnSide(place.side, mechanics.headTrack());
    const Spindle& spindle = mechanics.spindle();
    const double turn = spindle.AngleAt(static_cast<double>(readStartUs));
    const size_t startBit = static_cast<size_t>(turn * static_cast<double>(track.bytes.size() * 8));
    std::vector<uint8_t> scratch;
    data = ReadAsHead(NextTurnOf(track, scratch), track.density, place.zone, startBit, count);
    // The track's bytes pass the head in the reading drive's revolution, however fast the drive
    // that wrote them turned.
    rateCount = TrackByteRateCount(track.bytes.size(),
                                   spindle.RevolutionUsFrom(static_cast<double>(readStartUs))) +
                mechanics.NextCountJitter();
  }
  const std::vector<uint8_t> rate = LittleEndian(static_cast<uint32_t>(rateCount), 2);
  data.insert(data.end(), rate.begin(), rate.end());
  // The code sends each byte on as it reads it, then the two bytes of the count.
  drive.AddDataUs(std::max(readUs, LinkUs(drive, timing, count)) + LinkUs(drive, timing, 2));
  drive.StartWork(MakeTrackRead(drive, readStartUs, byteUs, count));
  return {data, static_cast<int>(data.size())};
}

JobAnswer WriteTrack(VirtualDrive& drive, std::span<const uint8_t> packet,
                     std::span<const uint8_t> loadedBytes, const BusTiming& timing) {
  DriveMechanics& mechanics = drive.mechanics();
  // The code checks the write-protect sense before it moves or writes anything.
  if (drive.disk() != nullptr && drive.disk()->writeProtected) {
    return {{kWriteProtected}, kStatusReplyArea};
  }
  auto end = std::find(loadedBytes.begin(), loadedBytes.end(), uint8_t{0});
  std::span<const uint8_t> bytes(loadedBytes.begin(), end);
  const HeadPlace place = PlaceOf(drive, packet[kP2At], packet[kP3At]);
  drive.AddWorkUs(mechanics.StepHead(drive.memory(), place.track));
  // The adapter passes the bytes on as the head writes them; the line is the faster.
  const int64_t byteUs = std::max<int64_t>(ZoneByteUs(place.zone), LinkUs(drive, timing, 1));
  const int64_t writeUs = static_cast<int64_t>(bytes.size()) * byteUs;
  drive.AddWorkUs(drive.MotorUpUs(drive.OperationNowUs(), writeUs));
  TrackWritePlan plan;
  plan.startUs = drive.OperationNowUs();
  plan.byteUs = byteUs;
  plan.side = place.side;
  plan.track = mechanics.headTrack();
  plan.zone = place.zone;
  plan.bytes.assign(bytes.begin(), bytes.end());
  // The code sends every byte to the head, whether a disk turns under it or not: a 1541 has no
  // sensor for either.
  GcrDisk* disk = GcrDiskIn(drive);
  if (disk != nullptr && !mechanics.motorStopped()) {
    const Spindle& spindle = mechanics.spindle();
    plan.disk = disk;
    plan.revolutionUs = spindle.RevolutionUsFrom(static_cast<double>(plan.startUs));
    plan.startTurn = spindle.AngleAt(static_cast<double>(plan.startUs));
  }
  plan.spoiled = mechanics.TakeSpoiledWrite(place.side == 0 ? plan.track
                                                            : plan.track + kSideTwoFirstTrack - 1);
  const std::optional<double> stuck = mechanics.TakeStuckWrite();
  if (stuck) {
    // The code waits for data that never comes, the gate on: it answers nothing any more.
    plan.stuckAfter = static_cast<size_t>(*stuck * static_cast<double>(bytes.size()));
    mechanics.HangCode();
  }
  drive.StartWork(MakeTrackWrite(drive, std::move(plan)));
  if (stuck) return {{}, kStatusReplyArea, false};
  drive.AddWorkUs(writeUs);
  return {{kWriteDone}, kStatusReplyArea};
}

JobAnswer MeasureSpeed(VirtualDrive& drive, std::span<const uint8_t> packet,
                       const BusTiming& timing) {
  DriveMechanics& mechanics = drive.mechanics();
  const HeadPlace place = PlaceOf(drive, packet[kP1At], 0);
  drive.AddWorkUs(mechanics.StepHead(drive.memory(), place.track));
  const Spindle& spindle = mechanics.spindle();
  const auto longestUs = static_cast<int64_t>(
      spindle.UsForTurns(static_cast<double>(drive.OperationNowUs()), kSpeedTimeoutTurns));
  drive.AddWorkUs(drive.MotorUpUs(drive.OperationNowUs(), longestUs));
  const double startUs = static_cast<double>(drive.OperationNowUs());
  GcrDisk* disk = GcrDiskIn(drive);
  uint32_t ticks = 0;
  const double timeoutUs = spindle.UsForTurns(startUs, kSpeedTimeoutTurns);
  double waitedUs = timeoutUs;
  std::optional<int64_t> syncAtUs;
  // The code times the same sync coming round again: it needs a turning disk with a sync.
  if (disk != nullptr && !mechanics.motorStopped()) {
    const std::vector<uint8_t>& ring = disk->TrackOnSide(place.side, mechanics.headTrack()).bytes;
    const RawTrackBits bits(ring);
    const double trackBits = static_cast<double>(bits.BitCount());
    const size_t startBit = static_cast<size_t>(spindle.AngleAt(startUs) * trackBits);
    if (auto sync = bits.NextSyncEnd(startBit, bits.BitCount() + 16)) {
      const double syncUs =
          startUs + spindle.UsForTurns(startUs, static_cast<double>(*sync - startBit) / trackBits);
      const double revolutionUs = spindle.RevolutionUsFrom(syncUs);
      waitedUs = syncUs - startUs + revolutionUs;
      syncAtUs = static_cast<int64_t>(syncUs);
      ticks = static_cast<uint32_t>(std::llround(revolutionUs * kTicksPerUs) +
                                    mechanics.NextJitterTicks());
    }
  }
  const auto start = static_cast<int64_t>(startUs);
  drive.StartWork(MakeSpeedMeasurement(drive, start, syncAtUs,
                                       start + static_cast<int64_t>(waitedUs),
                                       start + static_cast<int64_t>(timeoutUs)));
  drive.AddWorkUs(static_cast<int64_t>(waitedUs));
  drive.AddDataUs(LinkUs(drive, timing, 3));
  return {LittleEndian(ticks, 3), kStatusReplyArea};
}

JobAnswer ReadMemoryPages(VirtualDrive& drive, std::span<const uint8_t> packet,
                          const BusTiming& timing) {
  const size_t count = static_cast<size_t>(packet[kP1At]) * 256;
  const uint16_t start = static_cast<uint16_t>(packet[kP2At] | packet[kP3At] << 8);
  std::vector<uint8_t> data(count + 2, 0);
  for (size_t i = 0; i < count; ++i) {
    data[i] = drive.memory().Read(static_cast<uint16_t>(start + i));
  }
  drive.AddDataUs(LinkUs(drive, timing, data.size()));
  return {data, static_cast<int>(data.size())};
}

JobAnswer AccessMemory(VirtualDrive& drive, std::span<const uint8_t> packet, JobKind job,
                       const BusTiming& timing) {
  const uint16_t address = static_cast<uint16_t>(packet[kP1At] | packet[kP2At] << 8);
  DriveMemory& memory = drive.memory();
  if (job == JobKind::kMemoryWrite) {
    const uint8_t value = packet[kP3At];
    memory.Write(address, value);
    if (address < kQueueSlots && value >= kJobCodeMin) {
      // The controller turns the motor on for its jobs.
      const int64_t nowUs = drive.OperationNowUs();
      const int64_t readyUs = nowUs + drive.MotorUpUs(nowUs, drive.RevolutionUs());
      drive.mechanics().StartQueuedJob(memory, drive.disk(), address, readyUs);
    }
  }
  drive.AddDataUs(LinkUs(drive, timing, 1));
  return {{memory.Read(address)}, kStatusReplyArea};
}

}  // namespace

int ByteRateCount(int zone) {
  return static_cast<int>(std::lround(kByteRateWindowUs / ZoneByteUs(zone)));
}

int TrackByteRateCount(size_t trackBytes, double revolutionUs) {
  if (!(revolutionUs > 0.0)) return 0;
  return static_cast<int>(
      std::lround(static_cast<double>(trackBytes) * kByteRateWindowUs / revolutionUs));
}

int JobReplyArea(std::span<const uint8_t> packet) {
  if (packet.size() > kP1At && packet[kOpcodeAt] == static_cast<uint8_t>(Opcode::kJobReadPages)) {
    return packet[kP1At] * 256 + 2;
  }
  return kStatusReplyArea;
}

std::optional<JobAnswer> RunDriveJob(VirtualDrive& drive, std::span<const uint8_t> packet,
                                     std::span<const uint8_t> loadedBytes,
                                     const BusTiming& timing) {
  if (packet.size() < kPacketLength) return std::nullopt;
  const std::optional<JobKind> job = JobOf(packet);
  DriveMechanics& mechanics = drive.mechanics();
  if (!job || mechanics.codeHung() || !CodeRunsJob(drive.code(), drive.model().kind, *job)) {
    return std::nullopt;
  }
  mechanics.Settle(drive.memory(), drive.OperationNowUs());
  drive.AddWorkUs(timing.iecAddressUs + LinkUs(drive, timing, kPacketLength) +
                  mechanics.timing().codeUs);
  switch (*job) {
    case JobKind::kMemoryRead:
    case JobKind::kMemoryWrite:
      return AccessMemory(drive, packet, *job, timing);
    case JobKind::kReadTrack:
      return ReadTrack(drive, packet, timing);
    case JobKind::kWriteTrack:
      return WriteTrack(drive, packet, loadedBytes, timing);
    case JobKind::kMeasureSpeed:
      return MeasureSpeed(drive, packet, timing);
    case JobKind::kReadMemoryPages:
      return ReadMemoryPages(drive, packet, timing);
  }
  return std::nullopt;
}

}  // namespace sim
