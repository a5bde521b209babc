#pragma once
// The moving parts of a GCR drive as drive code and the DOS controller use them: the head (the
// track and side it is on, the time steps take), the turning disk (spindle.h), the controller's
// job queue at $0000, the speed measurement's jitter, and the faults of these parts.

#include <cstdint>

#include "sim/bus/drive_memory.h"
#include "sim/bus/spindle.h"
#include "sim/media/disk.h"

namespace sim {

struct MechanicsTiming {
  int64_t halfStepUs = 3000;  // one half-track step of the stepper
  int64_t settleUs = 15000;   // the head settling after it moved
  int bumpHalfSteps = 92;     // the bump job steps outward against the stop
  int64_t codeUs = 1000;      // the drive code taking a job packet and starting its answer
};

class DriveMechanics {
 public:
  DriveMechanics(int device, double rpm);

  // Power-on or reset: the job queue is empty and drive code that hung is gone. The head stays
  // where it is; the mechanical faults stay.
  void Restart();

  const MechanicsTiming& timing() const { return timing_; }

  // The head: track 1 to 42 (on a 1571 the same for both sides, which it picks by head, not by
  // stepping). Moving returns the time the steps and the settling take, nothing when the head
  // is there already.
  int headTrack() const { return headTrack_; }
  int64_t MoveHead(int trackOnSide);

  // The one turning disk of the drive.
  Spindle& spindle() { return spindle_; }
  const Spindle& spindle() const { return spindle_; }

  // The controller's job queue: a job code ($80 or more) written to slot 0-5 ($0000-$0005),
  // its track at $0006 + 2 x slot. The slot keeps the code while the job runs and gets the
  // result when it is done. Carried out: bump ($C0) and seek ($B0); a job for drive 1 (bit 0
  // set) ends with $0F. Other codes stay in the slot.
  void StartQueuedJob(DriveMemory& memory, Disk* disk, int slot, int64_t nowUs);
  // Brings the queue up to a moment: a job that is done leaves its result in its slot.
  void Settle(DriveMemory& memory, int64_t nowUs);

  // The speed measurement's jitter: ticks of 1/1.8432 us added to or taken from a revolution.
  void SetSpeedJitterTicks(int ticks) { jitterTicks_ = ticks; }
  int NextJitterTicks();

  // Faults.
  bool motorStopped() const { return motorStopped_; }
  void SetMotorStopped(bool stopped) { motorStopped_ = stopped; }
  bool codeHung() const { return codeHung_; }
  void HangCode() { codeHung_ = true; }
  // The disk is taken out halfway through the next job that uses it.
  void PullDiskDuringNextJob() { pullDiskPending_ = true; }
  bool TakePullDisk();

 private:
  MechanicsTiming timing_;
  Spindle spindle_;
  int headTrack_ = 18;
  bool jobRunning_ = false;
  int jobSlot_ = 0;
  uint8_t jobResult_ = 0;
  int jobEndTrack_ = 0;
  int64_t jobDoneUs_ = 0;
  int jitterTicks_ = 120;
  uint32_t jitterState_;
  bool motorStopped_ = false;
  bool codeHung_ = false;
  bool pullDiskPending_ = false;
};

}  // namespace sim
