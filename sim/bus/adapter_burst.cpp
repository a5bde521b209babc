// The 1581's burst commands as the adapter carries them out: "U0" with a read or write command
// byte on channel 15, the data on the fast serial line; and the burst memory read. They need no
// drive code. Drives without the 1581's burst protocol send nothing back (IEC status $02).
//
// Burst read ($08): track at byte 7, first sector at byte 8; the adapter always fetches 20
// sectors and replies with one status byte and their 5120 bytes (the command byte $C0 asks the
// drive to go on after errors). Without a disk, or for a track the disk does not have, the
// reply is the status byte alone, and so it is for a track without a single address mark (an
// unformatted disk): the drive cannot log in a format there and has no sector to send.
// Burst write ($09): track at byte 7, first sector at byte 8, sector count at byte 9, the data
// from the adapter buffer (opcode $0B); the reply's one data byte is the status. The sectors go
// into the drive's track cache (track_cache.h) and reach the disk when it is written back.
// Memory download ($11): start page at byte 4, page count at byte 5.
//
// The status byte: bit 7 0 for the 1581's own format, bit 6 the drive number (0), bits 5-4 the
// sector size (10: 512 bytes), bits 3-0 the controller's code: 0 when all went well, else the
// first failing sector's. The first burst command after the disk was taken out finds a disk
// change ($0B) and does nothing else; the next one works. A status of 2 or more in the low four
// bits also sets the drive's error channel, naming the track and sector.

#include <algorithm>

#include "sim/bus/adapter.h"
#include "sim/bus/track_faults.h"
#include "sim/media/dos_errors.h"
#include "sim/media/sector_disk.h"

namespace sim {

namespace {

constexpr size_t kTrackAt = 7;
constexpr size_t kFirstSectorAt = 8;
constexpr size_t kSectorCountAt = 9;
constexpr size_t kStartPageAt = 4;
constexpr size_t kPageCountAt = 5;
constexpr uint8_t kSectorSize512 = 0x20;
// The controller's code for a disk that changed since its last job.
constexpr int kDiskChanged = 0x0B;

bool HasBurst(const VirtualDrive& drive) {
  return drive.model().kind == DriveKind::k1581;
}

uint8_t BurstStatus(int jobCode) {
  return static_cast<uint8_t>(kSectorSize512 | (jobCode == kJobOk ? 0 : jobCode & 0x0F));
}

// No sector of the track has an address mark the controller could find.
bool TrackUnformatted(Disk& disk, int track) {
  std::array<uint8_t, 256> sector{};
  for (int number = 0; number < disk.SectorsOnTrack(track); ++number) {
    if (disk.ReadSector(track, number, sector) != kJobNoSync) return false;
  }
  return true;
}

void ReportBurstError(VirtualDrive& drive, int jobCode, int track, int sector) {
  if (jobCode != kJobOk && jobCode >= kJobHeaderNotFound) {
    drive.dos().SetError(DosErrorOfJob(jobCode), track, sector);
  }
}

// A side of a track passes the head in one revolution, its 20 sectors one after the other.
int SectorsPassed(int64_t fromUs, int64_t atUs, int64_t revolutionUs) {
  if (atUs <= fromUs || revolutionUs <= 0) return 0;
  return static_cast<int>((atUs - fromUs) * kBurstReadSectors / revolutionUs);
}

int JobCodeOf(Interruption what) {
  return what == Interruption::kProtected ? kJobWriteProtect : kJobNoDisk;
}

bool TakesTheDisk(Interruption what) {
  return what == Interruption::kDiskOut || what == Interruption::kMotorStop;
}

// The 1581 reads the track side into its cache in one revolution, then sends it: a disk that
// leaves in that revolution takes the sectors that had not passed yet.
class BurstRead final : public DriveWork {
 public:
  BurstRead(VirtualDrive& drive, int64_t cacheStartUs, int64_t revolutionUs, int track, int first,
            int jobCode, int failedSector)
      : DriveWork(drive, cacheStartUs, cacheStartUs + revolutionUs),
        revolutionUs_(revolutionUs),
        track_(track),
        first_(first),
        failedAt_(jobCode == kJobOk ? kBurstReadSectors : failedSector - first) {}

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    if (what == Interruption::kPowerOff) cut.reply.kind = ReplyChange::Kind::kHang;
    if (!TakesTheDisk(what) && what != Interruption::kProtected) return cut;
    cut.over = false;
    const int passed = SectorsPassed(startUs(), atUs, revolutionUs_);
    if (!TakesTheDisk(what) || passed >= failedAt_) return cut;
    failedAt_ = passed;
    const uint8_t status = BurstStatus(kJobNoDisk);
    ReportBurstError(drive(), kJobNoDisk, track_, first_ + passed);
    cut.reply.kind = ReplyChange::Kind::kPatch;
    cut.reply.set = {{0, status}};
    cut.reply.zeroFrom = 1 + static_cast<size_t>(passed) * 256;
    cut.reply.zeroTo = kBurstReadArea;
    return cut;
  }

 private:
  int64_t revolutionUs_;
  int track_;
  int first_;
  int failedAt_;  // the first sector (from first_) that did not come whole
};

struct SavedSector {
  SectorData data;
  int code;
};

// The 1581 takes the sectors over the fast serial line, then writes them one after the other.
// It writes them here at once and keeps what they replace, to put back what a cut never reached.
class BurstWrite final : public DriveWork {
 public:
  BurstWrite(VirtualDrive& drive, int64_t transferStartUs, int64_t writeStartUs,
             int64_t revolutionUs, SectorDisk& disk, int track, int first, int failedAt,
             std::vector<SavedSector> saved)
      : DriveWork(
            drive, transferStartUs,
            writeStartUs + static_cast<int64_t>(saved.size()) * revolutionUs / kBurstReadSectors),
        writeStartUs_(writeStartUs),
        revolutionUs_(revolutionUs),
        disk_(disk),
        track_(track),
        first_(first),
        failedAt_(failedAt),
        saved_(std::move(saved)) {}

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    if (what == Interruption::kPowerOff) cut.reply.kind = ReplyChange::Kind::kHang;
    if (what == Interruption::kAdapterGone && atUs >= writeStartUs_) {
      // The data is in the drive: the writes go on.
      cut.over = false;
      return cut;
    }
    const int count = std::min(static_cast<int>(saved_.size()), failedAt_);
    const int written = std::min(count, SectorsPassed(writeStartUs_, atUs, revolutionUs_));
    if (written == count) return cut;
    // Sectors still in the track cache never reach the disk; those the cache had written back
    // (the other side of the track) get their old contents again.
    bool onDisk = false;
    for (int i = written; i < count; ++i) {
      if (drive().trackCache().Forget(track_, first_ + i)) continue;
      onDisk = onDisk || i == written;
      disk_.Data(track_, first_ + i) = saved_[static_cast<size_t>(i)].data;
      disk_.Code(track_, first_ + i) = saved_[static_cast<size_t>(i)].code;
    }
    // The sector under the head when the write current stopped keeps a broken data field.
    if (onDisk && atUs >= writeStartUs_) disk_.Code(track_, first_ + written) = kJobDataChecksum;
    if (TakesTheDisk(what) || what == Interruption::kProtected) {
      const uint8_t status = BurstStatus(JobCodeOf(what));
      ReportBurstError(drive(), JobCodeOf(what), track_, first_ + written);
      cut.reply.kind = ReplyChange::Kind::kPatch;
      cut.reply.set = {{0, status}};
    }
    return cut;
  }

 private:
  int64_t writeStartUs_;
  int64_t revolutionUs_;
  SectorDisk& disk_;
  int track_;
  int first_;
  int failedAt_;  // the sector (from first_) the write stopped at by itself
  std::vector<SavedSector> saved_;
};

}  // namespace

AdapterReply Adapter::OnBurstRead(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[2]);
  if (drive == nullptr) return Answer(packet[0], {}, kBurstReadArea, kIecDeviceNotPresent, nullptr);
  if (!HasBurst(*drive)) return Answer(packet[0], {}, kBurstReadArea, kIecTimeoutIn, drive);
  drive->AddWorkUs(timing_.iecAddressUs);
  SectorDisk* disk = drive->mfmDisk();
  int track = packet[kTrackAt];
  const int first = packet[kFirstSectorAt];
  const int64_t revolutionUs = drive->RevolutionUs();
  if (disk != nullptr) drive->AddWorkUs(drive->MotorUpUs(drive->OperationNowUs(), revolutionUs));
  const bool changed = disk != nullptr && drive->TakeDiskChange();
  const bool onDisk = disk != nullptr && !changed && track >= 1 && track <= disk->TrackCount();
  if (onDisk) drive->trackCache().MoveTo(*disk, track, first);
  if (!onDisk || TrackUnformatted(*disk, track)) {
    const int code = disk == nullptr                           ? kJobNoDisk
                     : changed                                 ? kDiskChanged
                     : track < 1 || track > disk->TrackCount() ? kJobHeaderNotFound
                                                               : kJobNoSync;
    const uint8_t status = BurstStatus(code);
    ReportBurstError(*drive, code, track, first);
    if (disk != nullptr) drive->AddWorkUs(revolutionUs);
    drive->AddDataUs(timing_.fastSerialByteUs);
    return Answer(packet[0], std::span<const uint8_t>(&status, 1), kBurstReadArea, kIecOk, drive);
  }
  const int64_t cacheStartUs = drive->OperationNowUs();
  std::vector<uint8_t> data(kBurstReadArea, 0);
  int failed = kJobOk;
  int failedSector = first;
  std::array<uint8_t, 256> sector{};
  for (int i = 0; i < kBurstReadSectors; ++i) {
    int number = first + i;
    int code = kJobHeaderNotFound;
    if (number < disk->SectorsOnTrack(track)) {
      sector.fill(0);
      code = drive->trackCache().Read(*disk, track, number, sector);
      code = FaintSectorRead(*disk, track, number, code, sector);
      std::copy(sector.begin(), sector.end(), data.begin() + 1 + i * 256);
    }
    if (failed == kJobOk && code != kJobOk) {
      failed = code;
      failedSector = number;
    }
  }
  data[0] = BurstStatus(failed);
  ReportBurstError(*drive, failed, track, failedSector);
  // The 1581 reads the whole track side into its cache in one revolution, then sends it.
  drive->AddWorkUs(revolutionUs);
  drive->AddDataUs(kBurstReadArea * timing_.fastSerialByteUs);
  drive->StartWork(std::make_unique<BurstRead>(*drive, cacheStartUs, revolutionUs, track, first,
                                               failed, failedSector));
  return Answer(packet[0], data, kBurstReadArea, kIecOk, drive);
}

AdapterReply Adapter::OnBurstWrite(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[2]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  if (!HasBurst(*drive)) return Answer(packet[0], {}, kStatusReplyArea, kIecTimeoutIn, drive);
  drive->AddWorkUs(timing_.iecAddressUs);
  SectorDisk* disk = drive->mfmDisk();
  int track = packet[kTrackAt];
  int code = kJobOk;
  int failedSector = packet[kFirstSectorAt];
  if (disk == nullptr) {
    code = kJobNoDisk;
  } else if (drive->TakeDiskChange()) {
    code = kDiskChanged;
  } else if (disk->writeProtected) {
    code = kJobWriteProtect;
  } else if (track < 1 || track > disk->TrackCount()) {
    code = kJobHeaderNotFound;
  } else {
    const int first = packet[kFirstSectorAt];
    const int count = std::clamp(std::min<int>(packet[kSectorCountAt], kAdapterBufferPages), 0,
                                 std::max(0, disk->SectorsOnTrack(track) - first));
    auto* sectors = dynamic_cast<SectorDisk*>(disk);
    std::vector<SavedSector> saved;
    for (int i = 0; sectors != nullptr && i < count; ++i) {
      saved.push_back({sectors->Data(track, first + i), sectors->Code(track, first + i)});
    }
    std::array<uint8_t, 256> sector{};
    const int asked = std::min<int>(packet[kSectorCountAt], kAdapterBufferPages);
    for (int i = 0; i < asked && code == kJobOk; ++i) {
      int number = first + i;
      std::copy_n(buffer_.begin() + i * 256, 256, sector.begin());
      code = number < disk->SectorsOnTrack(track)
                 ? drive->trackCache().Write(*disk, track, number, sector)
                 : kJobHeaderNotFound;
      failedSector = number;
    }
    // The motor runs up while the sectors come over the fast serial line; then a revolution
    // writes 20 of them.
    const int64_t transferStartUs = drive->OperationNowUs();
    const int64_t revolutionUs = drive->RevolutionUs();
    const int64_t transferUs = asked * 256 * timing_.fastSerialByteUs;
    const int64_t writeUs = asked * revolutionUs / kBurstReadSectors;
    const int64_t spinUpUs = drive->MotorUpUs(transferStartUs, transferUs + writeUs);
    const int64_t writeStartUs = transferStartUs + std::max(transferUs, spinUpUs);
    drive->AddWorkUs(writeStartUs - transferStartUs + writeUs);
    if (sectors != nullptr) {
      drive->StartWork(std::make_unique<BurstWrite>(
          *drive, transferStartUs, writeStartUs, revolutionUs, *sectors, track, first,
          code == kJobOk ? asked : failedSector - first, std::move(saved)));
    }
  }
  ReportBurstError(*drive, code, track, failedSector);
  const uint8_t status = BurstStatus(code);
  return Answer(packet[0], std::span<const uint8_t>(&status, 1), kStatusReplyArea, kIecOk, drive);
}

AdapterReply Adapter::OnMemoryDownload(std::span<const uint8_t> packet) {
  int count = packet[kPageCountAt] * 256;
  VirtualDrive* drive = Address(packet[2]);
  if (drive == nullptr) return Answer(packet[0], {}, count, kIecDeviceNotPresent, nullptr);
  if (!HasBurst(*drive)) return Answer(packet[0], {}, count, kIecTimeoutIn, drive);
  std::vector<uint8_t> data(static_cast<size_t>(count));
  uint16_t start = static_cast<uint16_t>(packet[kStartPageAt] << 8);
  for (int i = 0; i < count; ++i) {
    data[i] = drive->memory().Read(static_cast<uint16_t>(start + i));
  }
  drive->AddWorkUs(timing_.iecAddressUs);
  drive->AddDataUs(count * timing_.fastSerialByteUs);
  return Answer(packet[0], data, count, kIecOk, drive);
}

}  // namespace sim
