#include "sim/media/dos_state.h"

namespace sim {
namespace {

constexpr uint8_t kMaxTrackSingle = 36;
constexpr uint8_t kMaxTrackDouble = 71;
constexpr uint8_t kMaxTrack1581 = 81;

// The file interleave the DOS sets at power-up: 10 on the 1541; 6 in the 1571 ROM, which the
// 1570 shares, whatever the mode (1541 or 1571) and whether the disk has one side or two.
constexpr int kInterleave1541 = 10;
constexpr int kInterleave1571 = 6;
constexpr int kInterleave1581 = 1;

}  // namespace

DosState::DosState(DriveKind driveKind, bool starts1571Mode)
    : kind(driveKind),
      message(DosFail(kDosVersion)),
      startMode(driveKind == DriveKind::k1571 && starts1571Mode),
      doubleSidedMode(startMode),
      maxTrackPlusOne(driveKind == DriveKind::k1581 ? kMaxTrack1581 : kMaxTrackSingle) {}

DosStatus DosState::LogIn() {
  if (volume && !channels.empty()) return {};
  return ForceLogIn();
}

DosStatus DosState::ForceLogIn() {
  // The seek goes to the directory track whether or not a disk answers there.
  if (kind != DriveKind::k1581) soughtTrack = LayoutOf(DiskFormat::k1541).dirTrack;
  const DosStatus status = Volume::LogIn(kind, doubleSidedMode, disk, volume);
  if (!status.ok()) return status;
  idInRam = volume->id();
  bamInRam = volume->bam().blocks().front();
  if (kind != DriveKind::k1581) {
    maxTrackPlusOne =
        volume->layout().format == DiskFormat::k1571Double ? kMaxTrackDouble : kMaxTrackSingle;
  }
  return {};
}

DosStatus DosState::CloseAll() {
  DosStatus first;
  while (!channels.empty()) {
    const DosStatus status = CloseChannel(*this, channels.begin()->first);
    if (first.ok()) first = status;
  }
  return first;
}

void DosState::DropAll() {
  channels.clear();
}

int DosState::FileInterleave() const {
  if (interleaveOverride > 0) return interleaveOverride;
  switch (kind) {
    case DriveKind::k1541:
      return kInterleave1541;
    case DriveKind::k1570:
    case DriveKind::k1571:
      return kInterleave1571;
    case DriveKind::k1581:
      return kInterleave1581;
  }
  return kInterleave1541;
}

}  // namespace sim
