// The 1581's burst commands as the adapter carries them out: "U0" with a read or write command
// byte on channel 15, the data on the fast serial line; and the burst memory read. They need no
// drive code. Drives without the 1581's burst protocol send nothing back (IEC status $02).
//
// Burst read ($08): track at byte 7, first sector at byte 8; the adapter always fetches 20
// sectors and replies with one status byte and their 5120 bytes (the command byte $C0 asks the
// drive to go on after errors). Without a disk, or for a track the disk does not have, the
// reply is the status byte alone, and so it is for a track without a single address mark (an
// unformatted disk): the drive cannot log in a format there and has no sector to send. The
// status byte is $00, or the first failing sector's controller code.
// A status of 2 or more also sets the drive's error channel, naming the track and sector.
// Burst write ($09): track at byte 7, first sector at byte 8, sector count at byte 9, the data
// from the adapter buffer (opcode $0B); the reply's one data byte is the status.
// Memory download ($11): start page at byte 4, page count at byte 5.

#include <algorithm>

#include "sim/bus/adapter.h"
#include "sim/media/dos_errors.h"

namespace sim {

namespace {

constexpr size_t kTrackAt = 7;
constexpr size_t kFirstSectorAt = 8;
constexpr size_t kSectorCountAt = 9;
constexpr size_t kStartPageAt = 4;
constexpr size_t kPageCountAt = 5;
constexpr uint8_t kBurstOk = 0x00;

bool HasBurst(const VirtualDrive& drive) {
  return drive.model().kind == DriveKind::k1581;
}

uint8_t BurstStatus(int jobCode) {
  return jobCode == kJobOk ? kBurstOk : static_cast<uint8_t>(jobCode & 0x0F);
}

// No sector of the track has an address mark the controller could find.
bool TrackUnformatted(Disk& disk, int track) {
  std::array<uint8_t, 256> sector{};
  for (int number = 0; number < disk.SectorsOnTrack(track); ++number) {
    if (disk.ReadSector(track, number, sector) != kJobNoSync) return false;
  }
  return true;
}

void ReportBurstError(VirtualDrive& drive, uint8_t status, int track, int sector) {
  if (status >= kJobHeaderNotFound) drive.dos().SetError(DosErrorOfJob(status), track, sector);
}

}  // namespace

AdapterReply Adapter::OnBurstRead(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[2]);
  if (drive == nullptr) return Answer(packet[0], {}, kBurstReadArea, kIecDeviceNotPresent, nullptr);
  if (!HasBurst(*drive)) return Answer(packet[0], {}, kBurstReadArea, kIecTimeoutIn, drive);
  drive->AddWorkUs(timing_.iecAddressUs);
  Disk* disk = drive->disk();
  int track = packet[kTrackAt];
  const int first = packet[kFirstSectorAt];
  if (disk == nullptr || track < 1 || track > disk->TrackCount() ||
      TrackUnformatted(*disk, track)) {
    const int code = disk == nullptr                           ? kJobNoDisk
                     : track < 1 || track > disk->TrackCount() ? kJobHeaderNotFound
                                                               : kJobNoSync;
    const uint8_t status = BurstStatus(code);
    ReportBurstError(*drive, status, track, first);
    if (disk != nullptr) drive->AddWorkUs(drive->RevolutionUs());
    return Answer(packet[0], std::span<const uint8_t>(&status, 1), kBurstReadArea, kIecOk, drive);
  }
  std::vector<uint8_t> data(kBurstReadArea, 0);
  uint8_t status = kBurstOk;
  int failedSector = first;
  std::array<uint8_t, 256> sector{};
  for (int i = 0; i < kBurstReadSectors; ++i) {
    int number = first + i;
    int code = kJobHeaderNotFound;
    if (number < disk->SectorsOnTrack(track)) {
      sector.fill(0);
      code = disk->ReadSector(track, number, sector);
      std::copy(sector.begin(), sector.end(), data.begin() + 1 + i * 256);
    }
    if (status == kBurstOk) {
      status = BurstStatus(code);
      failedSector = number;
    }
  }
  data[0] = status;
  ReportBurstError(*drive, status, track, failedSector);
  // The 1581 reads the whole track into its cache in one revolution.
  drive->AddWorkUs(drive->RevolutionUs() + kBurstReadArea * timing_.fastSerialByteUs);
  return Answer(packet[0], data, kBurstReadArea, kIecOk, drive);
}

AdapterReply Adapter::OnBurstWrite(std::span<const uint8_t> packet) {
  VirtualDrive* drive = Address(packet[2]);
  if (drive == nullptr)
    return Answer(packet[0], {}, kStatusReplyArea, kIecDeviceNotPresent, nullptr);
  if (!HasBurst(*drive)) return Answer(packet[0], {}, kStatusReplyArea, kIecTimeoutIn, drive);
  drive->AddWorkUs(timing_.iecAddressUs);
  Disk* disk = drive->disk();
  int track = packet[kTrackAt];
  uint8_t status = kBurstOk;
  int failedSector = packet[kFirstSectorAt];
  if (disk == nullptr) {
    status = BurstStatus(kJobNoDisk);
  } else if (disk->writeProtected) {
    status = BurstStatus(kJobWriteProtect);
  } else if (track < 1 || track > disk->TrackCount()) {
    status = BurstStatus(kJobHeaderNotFound);
  } else {
    int count = std::min<int>(packet[kSectorCountAt], kAdapterBufferPages);
    std::array<uint8_t, 256> sector{};
    for (int i = 0; i < count && status == kBurstOk; ++i) {
      int number = packet[kFirstSectorAt] + i;
      std::copy_n(buffer_.begin() + i * 256, 256, sector.begin());
      int code = number < disk->SectorsOnTrack(track) ? disk->WriteSector(track, number, sector)
                                                      : kJobHeaderNotFound;
      status = BurstStatus(code);
      failedSector = number;
    }
    drive->AddWorkUs(count * 256 * timing_.fastSerialByteUs + 2 * drive->RevolutionUs());
  }
  ReportBurstError(*drive, status, track, failedSector);
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
  drive->AddWorkUs(timing_.iecAddressUs + count * timing_.fastSerialByteUs);
  return Answer(packet[0], data, count, kIecOk, drive);
}

}  // namespace sim
