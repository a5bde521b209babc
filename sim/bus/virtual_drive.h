#pragma once
// One drive on the virtual bus: its model, power, disk, DOS, memory, and what it does with
// the IEC bus operations the adapter sends it (open, close, write, read on a channel).

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/bus/bus_timing.h"
#include "sim/bus/drive_mechanics.h"
#include "sim/bus/drive_memory.h"
#include "sim/bus/drive_models.h"
#include "sim/bus/drive_work.h"
#include "sim/bus/track_cache.h"
#include "sim/media/disk.h"
#include "sim/media/dos.h"

namespace sim {

struct ChannelRead {
  std::vector<uint8_t> bytes;
  uint8_t status = 0;  // IecStatus
};

class VirtualDrive {
 public:
  VirtualDrive(int device, const DriveModel& model, bool fastSerialDriver, double rpm,
               const BusTiming& timing);
  ~VirtualDrive();
  VirtualDrive(const VirtualDrive&) = delete;
  VirtualDrive& operator=(const VirtualDrive&) = delete;

  int device() const { return device_; }
  const DriveModel& model() const { return model_; }

  bool powered() const { return powered_; }
  // Switching on starts the drive as from its reset: DOS message 73, RAM cleared, files
  // closed, drive code gone, and the self-test before it answers. Switching off loses all of
  // it; the disk stays in the drive.
  void SetPower(bool on, int64_t atUs = 0);
  // The IEC reset line: a powered drive restarts as at power-on.
  void Reset(int64_t atUs);
  // A 1571 that is in 1571 mode from every start (the description's ":1571mode"), as when a
  // C128 switches it at once; otherwise it starts in 1541 mode. Restarts the drive.
  void SetStartsIn1571Mode(bool on);
  // A 1571 in 1571 mode: its DOS and its drive code reach the second side of a double-sided
  // disk (DOS tracks 36-70). In 1541 mode they work on the first side only.
  bool In1571Mode() const { return dos_->In1571Mode(); }

  // The disk in the drive; nullptr when the drive is empty.
  Disk* disk() const { return inserted_ ? disk_.get() : nullptr; }
  // The disk in the drive or taken out of it by Eject.
  Disk* heldDisk() const { return disk_.get(); }
  // The image file the disk came from; empty for a blank disk or none.
  const std::string& imagePath() const { return imagePath_; }
  void InsertDisk(std::unique_ptr<Disk> disk, std::string imagePath);
  std::unique_ptr<Disk> TakeDisk();
  // Opening the drive door: the disk stays by the drive and Reinsert puts it back.
  void Eject();
  void Reinsert();
  void SetWriteProtected(bool on);

  // The DOS object is replaced at every power-on and reset.
  Dos& dos() { return *dos_; }
  // Runs a format command the DOS started earlier (StartFormat), whole or cut short.
  void LayFormat(const std::vector<uint8_t>& command, const FormatCut* cut);
  DriveMemory& memory() { return memory_; }
  // The head, the turning disk and the controller's job queue, as drive code uses them.
  DriveMechanics& mechanics() { return mechanics_; }
  // The 1581's track cache and the disk in it as the 1581 takes it (nullptr for none).
  TrackCache& trackCache() { return trackCache_; }
  SectorDisk* mfmDisk() const;
  // The 1581's disk-change latch: set when the disk is taken out, cleared when the DOS works
  // with a disk and when the drive restarts. True once after a change (with a disk in), for the
  // burst command that reports it.
  bool TakeDiskChange();

  // The disk's speed and its slow drift (spindle.h): the rotation from time 0 on.
  double rpm() const { return mechanics_.spindle().rpm(); }
  void SetRpm(double rpm) { mechanics_.spindle().SetRpm(rpm); }
  // percent 0 turns the drift off; otherwise 0 < percent <= 3, the period more than 0.
  void SetSpeedDrift(double percent, int64_t periodUs) {
    mechanics_.spindle().SetDrift(percent, periodUs);
  }
  // One revolution from a moment on, and from the moment the operation has reached.
  int64_t RevolutionUsAt(int64_t us) const;
  int64_t RevolutionUs() const { return RevolutionUsAt(OperationNowUs()); }

  // The IEC side. Each operation adds the time the bus and the drive need to the work time.
  void Open(int sa, std::span<const uint8_t> name);
  void Close(int sa);
  uint8_t Write(int sa, std::span<const uint8_t> bytes);  // returns the IEC status
  ChannelRead Read(int sa, int count);
  // The page of drive code the adapter puts into the drive and starts (opcode $0C).
  void StartCode(std::span<const uint8_t> page);
  bool codeStarted() const { return !code_.empty(); }
  const std::vector<uint8_t>& code() const { return code_; }

  // The work on the disk the drive is doing (drive_work.h); nullptr when none.
  DriveWork* work() const { return work_.get(); }
  void StartWork(std::unique_ptr<DriveWork> work) { work_ = std::move(work); }
  void EndWork() { work_.reset(); }
  // The time the spindle needs before the disk can be used at `atUs` (none while the motor
  // turns); the motor then turns through `durationUs` of work on the disk, and on.
  int64_t MotorUpUs(int64_t atUs, int64_t durationUs);

  // Bus operations and time. An operation starts when the adapter addresses the drive; a drive
  // still busy with earlier work (a command runs after the bus has been released) makes it
  // wait. TakeWorkUs ends the operation: the time from its start until the adapter has what
  // it needs. The DOS work that follows the release keeps the drive busy after that. Of the
  // operation's time, the data part is the time over which the drive sends its reply data (the
  // adapter forwards each byte as it comes); TakeDataUs is called first.
  void BeginOperation(int64_t nowUs);
  int64_t TakeWorkUs();
  int64_t TakeDataUs();
  void AddWorkUs(int64_t us) { workUs_ += us; }
  void AddDataUs(int64_t us) { dataUs_ += us; }
  void AddWorkAfterReleaseUs(int64_t us) { afterReleaseUs_ += us; }
  int64_t busyUntilUs() const { return busyUntilUs_; }
  // Work cut short frees the drive early.
  void FreeFrom(int64_t us) { busyUntilUs_ = std::min(busyUntilUs_, us); }
  // The moment the operation has reached with the work added so far.
  int64_t OperationNowUs() const { return operationStartUs_ + workUs_ + dataUs_; }
  int64_t ByteUs() const;

 private:
  void Restart(int64_t atUs);
  // The command buffer at $0200 takes the bytes; false (error 32) when they do not fit.
  bool StoreInCommandBuffer(std::span<const uint8_t> bytes);
  void RunCommand(std::span<const uint8_t> bytes);
  // The DOS goes to the disk: the 1581 writes its cache back first and takes note of a new disk.
  void DosUsesDisk();
  // The RAM the DOS fills as it works with a disk (ID, BAM buffer, maximum track), written
  // after every DOS call that may touch the disk.
  void CopyDosStateToRam();
  // After every DOS call that may touch the disk: the head goes where the DOS sought (finding
  // where it was first after a restart, drive_mechanics.h), in the time after the bus is
  // released, and the RAM gets the DOS's state.
  void AfterDosWork();
  void UpdateWriteProtectSense();
  int64_t SectorUs() const;
  // The DOS starts its work on the disk at `DosStartUs`, where the spindle has turned it then.
  void TurnDiskToDosStart();
  int64_t DosStartUs() const { return OperationNowUs() + afterReleaseUs_; }
  // A format ("N:name,id", the 1581's burst format) lays its tracks down one after the other
  // once the bus is released (drive_format.cpp).
  void StartFormat(std::span<const uint8_t> command, double revolutions);

  int device_;
  const DriveModel& model_;
  const BusTiming& timing_;
  bool powered_ = true;
  std::unique_ptr<Disk> disk_;
  bool inserted_ = false;
  std::string imagePath_;
  std::unique_ptr<Dos> dos_;
  DriveMemory memory_;
  DriveMechanics mechanics_;
  bool starts1571Mode_ = false;
  TrackCache trackCache_;
  bool diskChanged_ = false;
  // What channel 15 sends next: the rest of an "M-R" result or of the error message.
  std::deque<uint8_t> commandChannelOutput_;
  std::vector<uint8_t> code_;
  int64_t operationStartUs_ = 0;
  int64_t workUs_ = 0;
  int64_t dataUs_ = 0;
  int64_t afterReleaseUs_ = 0;
  int64_t busyUntilUs_ = 0;
  std::unique_ptr<DriveWork> work_;
};

}  // namespace sim
