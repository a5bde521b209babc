#include "sim/bus/virtual_drive.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr uint16_t kDiskIdAddress = 0x0012;
constexpr uint16_t kBamBufferAddress = 0x0700;
constexpr uint16_t kMaxTrackAddress = 0x02AC;
constexpr int kPowerOnMessage = 73;

}  // namespace

VirtualDrive::VirtualDrive(int device, const DriveModel& model, bool fastSerialDriver, double rpm,
                           const BusTiming& timing)
    : device_(device),
      model_(model),
      timing_(timing),
      memory_(model, device),
      mechanics_(device, rpm, model.kind == DriveKind::k1571) {
  memory_.SetFastSerialDriver(fastSerialDriver);
  Restart(0);
  busyUntilUs_ = 0;  // switched on long before the bus is used
}

VirtualDrive::~VirtualDrive() = default;

void VirtualDrive::SetPower(bool on, int64_t atUs) {
  if (on == powered_) return;
  powered_ = on;
  work_.reset();
  if (on) Restart(atUs);
}

void VirtualDrive::Reset(int64_t atUs) {
  if (powered_) Restart(atUs);
}

void VirtualDrive::SetStartsIn1571Mode(bool on) {
  starts1571Mode_ = on;
  Restart(0);
}

void VirtualDrive::Restart(int64_t atUs) {
  work_.reset();
  memory_.PowerOn();
  dos_ = std::make_unique<Dos>(model_.kind, starts1571Mode_);
  mechanics_.SetTwoHeads(dos_->In1571Mode());
  trackCache_.Drop();
  diskChanged_ = false;
  dos_->SetDisk(disk());
  dos_->SetError(kPowerOnMessage, 0, 0);
  commandChannelOutput_.clear();
  code_.clear();
  mechanics_.Restart();
  workUs_ = 0;
  dataUs_ = 0;
  afterReleaseUs_ = 0;
  busyUntilUs_ = atUs + timing_.selfTestUs;
  CopyDosStateToRam();
  UpdateWriteProtectSense();
}

void VirtualDrive::InsertDisk(std::unique_ptr<Disk> disk, std::string imagePath) {
  trackCache_.Drop();
  disk_ = std::move(disk);
  imagePath_ = std::move(imagePath);
  inserted_ = disk_ != nullptr;
  dos_->SetDisk(this->disk());
  UpdateWriteProtectSense();
}

std::unique_ptr<Disk> VirtualDrive::TakeDisk() {
  trackCache_.Drop();
  diskChanged_ = true;
  inserted_ = false;
  imagePath_.clear();
  dos_->SetDisk(nullptr);
  UpdateWriteProtectSense();
  return std::move(disk_);
}

void VirtualDrive::Eject() {
  trackCache_.Drop();
  diskChanged_ = true;
  inserted_ = false;
  dos_->SetDisk(nullptr);
  UpdateWriteProtectSense();
}

void VirtualDrive::Reinsert() {
  inserted_ = disk_ != nullptr;
  dos_->SetDisk(disk());
  UpdateWriteProtectSense();
}

SectorDisk* VirtualDrive::mfmDisk() const {
  Disk* present = disk();
  return present != nullptr && !present->IsGcr() ? static_cast<SectorDisk*>(present) : nullptr;
}

bool VirtualDrive::TakeDiskChange() {
  if (disk() == nullptr || !diskChanged_) return false;
  diskChanged_ = false;
  return true;
}

void VirtualDrive::DosUsesDisk() {
  trackCache_.WriteBack(mfmDisk());
  if (disk() != nullptr) diskChanged_ = false;
}

void VirtualDrive::SetWriteProtected(bool on) {
  if (disk_) disk_->writeProtected = on;
  UpdateWriteProtectSense();
}

void VirtualDrive::UpdateWriteProtectSense() {
  memory_.SetWriteProtected(disk() != nullptr && disk()->writeProtected);
}

int64_t VirtualDrive::RevolutionUsAt(int64_t us) const {
  return static_cast<int64_t>(
      std::llround(mechanics_.spindle().RevolutionUsFrom(static_cast<double>(us))));
}

void VirtualDrive::TurnDiskToDosStart() {
  if (disk() == nullptr) return;
  disk()->angle = mechanics_.spindle().AngleAt(static_cast<double>(DosStartUs()));
}

int64_t VirtualDrive::SectorUs() const {
  return RevolutionUs() / model_.board.sectorsPerRevolution;
}

int64_t VirtualDrive::ByteUs() const {
  return model_.board.fastSerial ? timing_.fastSerialByteUs : timing_.slowSerialByteUs;
}

int64_t VirtualDrive::MotorUpUs(int64_t atUs, int64_t durationUs) {
  const int64_t spinUpUs = mechanics_.MotorTurnsAt(atUs) ? 0 : timing_.spinUpUs;
  mechanics_.RunMotorUntil(atUs + spinUpUs + durationUs + timing_.motorRunOnUs);
  return spinUpUs;
}

void VirtualDrive::BeginOperation(int64_t nowUs) {
  operationStartUs_ = nowUs;
  workUs_ = std::max<int64_t>(0, busyUntilUs_ - nowUs);
  dataUs_ = 0;
  afterReleaseUs_ = 0;
}

int64_t VirtualDrive::TakeDataUs() {
  const int64_t us = dataUs_;
  workUs_ += dataUs_;
  dataUs_ = 0;
  return us;
}

int64_t VirtualDrive::TakeWorkUs() {
  int64_t us = workUs_;
  // A restart in the operation ("UJ") has the drive testing itself until later.
  busyUntilUs_ = std::max(busyUntilUs_, operationStartUs_ + workUs_ + afterReleaseUs_);
  workUs_ = 0;
  afterReleaseUs_ = 0;
  return us;
}

void VirtualDrive::AfterDosWork() {
  const int track = dos_->TakeSoughtTrack();
  if (track != 0 && model_.kind != DriveKind::k1581) {
    afterReleaseUs_ += mechanics_.SeekForDos(memory_, disk(), track, DosStartUs());
  }
  CopyDosStateToRam();
}

void VirtualDrive::CopyDosStateToRam() {
  std::span<uint8_t> ram = memory_.ram();
  std::array<uint8_t, 2> id = dos_->IdInRam();
  std::copy(id.begin(), id.end(), ram.begin() + kDiskIdAddress);
  if (model_.board.bamBufferAt0700) {
    std::array<uint8_t, 256> bam = dos_->BamInRam();
    std::copy(bam.begin(), bam.end(), ram.begin() + kBamBufferAddress);
  }
  if (model_.board.maxTrackAt02AC) ram[kMaxTrackAddress] = dos_->MaxTrackPlusOne();
}

}  // namespace sim
