#pragma once
// The moving parts of a GCR drive as drive code and the DOS controller use them: the head (the
// track and side it is on, the time steps take), the turning disk (spindle.h), the controller's
// job queue at $0000, the speed measurement's jitter, and the faults of these parts.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "sim/bus/drive_memory.h"
#include "sim/bus/spindle.h"
#include "sim/media/disk.h"
#include "sim/media/gcr_sector.h"

namespace sim {

struct MechanicsTiming {
  int64_t halfStepUs = 3000;  // one half-track step of the stepper
  int64_t settleUs = 15000;   // the head settling after it moved
  int bumpHalfSteps = 92;     // the bump job steps outward against the stop
  int64_t codeUs = 1000;      // the drive code taking a job packet and starting its answer
  int64_t noSyncUs = 20000;   // the controller gives up on a track without a sync
};

class DriveMechanics {
 public:
  // twoHeads: the drive reads the second side of a double-sided disk (the 1571).
  DriveMechanics(int device, double rpm, bool twoHeads);
  // A 1571 uses its second head in 1571 mode only.
  void SetTwoHeads(bool on) { twoHeads_ = on; }

  // Power-on or reset: the job queue is empty, drive code that hung is gone and the motor
  // stands. The head stays where it is, but the DOS no longer knows where: the RAM that held its
  // track ($0022) is cleared. The mechanical faults stay.
  void Restart();

  const MechanicsTiming& timing() const { return timing_; }

  // The head: track 1 to 42 (on a 1571 the same for both sides, which it picks by head, not by
  // stepping). A stepper knows no place, only steps: whoever moves the head steps from the track
  // the DOS keeps at $0022 (0: not known since power-on or reset) and leaves the new one there.
  // Moving returns the time the steps and the settling take, nothing when no step is needed.
  int headTrack() const { return headTrack_; }
  // Where an earlier session may have left the head.
  void SetHeadTrack(int trackOnSide) { headTrack_ = trackOnSide; }
  // Drive code steps by the difference from $0022 to the track, whatever that holds: with 0
  // there it steps as far inward as the track's number from wherever the head is.
  int64_t StepHead(DriveMemory& memory, int trackOnSide);
  // The DOS's own seek to a track (its log-in on the directory track): when it does not know
  // where the head is, it first reads the first header that comes under it and takes that
  // header's track, or bumps the head to track 1 when it reads none; then it steps.
  int64_t SeekForDos(DriveMemory& memory, const Disk* disk, int trackOnSide, int64_t nowUs);

  // The one turning disk of the drive.
  Spindle& spindle() { return spindle_; }
  const Spindle& spindle() const { return spindle_; }

  // The controller's job queue: a job code ($80 or more) written to slot 0-5 ($0000-$0005),
  // its track at $0006 + 2 x slot. The slot keeps the code while the job runs and gets the
  // result when it is done. Carried out: bump ($C0) and seek ($B0, below); a job for drive 1
  // (bit 0 set) ends with $0F. Other codes stay in the slot.
  //
  // The seek steps to the track (numbered as the DOS numbers tracks: on a 1571 with a
  // double-sided disk 36-70 lie on the second side), finding the head first as SeekForDos does
  // when $0022 holds 0, waits for the first header that comes under the head once it is there
  // and leaves it in RAM: $16 ID1, $17 ID2, $18 track, $19 sector, $1A checksum, as read. Results:
  // $01 (its ID also into $12/$13), $09 a bad header checksum, $02 no header among 90 syncs, $03 no
  // sync within 20 ms (no disk, a stopped motor, an erased track).
  void StartQueuedJob(DriveMemory& memory, Disk* disk, int slot, int64_t nowUs);
  // Brings the queue up to a moment: a job that is done leaves its result in its slot.
  void Settle(DriveMemory& memory, int64_t nowUs);

  // The speed measurement's jitter: ticks of 1/1.8432 us added to or taken from a revolution.
  void SetSpeedJitterTicks(int ticks) { jitterTicks_ = ticks; }
  int NextJitterTicks();
  // The byte-rate count's jitter: the counting window starts anywhere within a byte, so the
  // count comes out one more or one less now and then.
  int NextCountJitter();

  // The spindle motor: off after a restart, on while the disk is used and a while after.
  bool MotorTurnsAt(int64_t us) const { return us < motorRunsUntilUs_; }
  void RunMotorUntil(int64_t us) { motorRunsUntilUs_ = std::max(motorRunsUntilUs_, us); }

  // Faults.
  bool motorStopped() const { return motorStopped_; }
  void SetMotorStopped(bool stopped) { motorStopped_ = stopped; }
  bool codeHung() const { return codeHung_; }
  void HangCode() { codeHung_ = true; }
  // The disk is taken out at a fraction (0 to 1) of the next work that uses it.
  void PullDiskDuringNextJob(double fraction) { pullDiskAt_ = fraction; }
  // The next track write's data stops at a fraction of it while the write gate stays on.
  void StickWriteGate(double fraction) { stuckWriteAt_ = fraction; }
  // The next write of a track (numbered as the DOS numbers it) lays a sector's data down wrong.
  struct SpoiledSector {
    int track = 0;
    int sector = 0;
  };
  void SpoilNextWrite(int track, int sector) { spoiledWrite_ = SpoiledSector{track, sector}; }
  // The sector to spoil when the write goes to `track` (taking it), or nothing.
  std::optional<SpoiledSector> TakeSpoiledWrite(int track) {
    if (!spoiledWrite_ || spoiledWrite_->track != track) return std::nullopt;
    return std::exchange(spoiledWrite_, std::nullopt);
  }
  // The fraction of a pending fault (taking it), or nothing.
  std::optional<double> TakePullDisk() { return Take(pullDiskAt_); }
  std::optional<double> TakeStuckWrite() { return Take(stuckWriteAt_); }

 private:
  static std::optional<double> Take(std::optional<double>& pending) {
    std::optional<double> taken = pending;
    pending.reset();
    return taken;
  }
  // Where the head ends up stepping from `physical` by the difference from the track the DOS
  // believes it is on to a track, and the time the steps and the settling take.
  struct Steps {
    int endTrack = 1;
    int64_t us = 0;
  };
  Steps StepsFrom(int physical, int believed, int trackOnSide) const;
  // The controller finding an unknown head: the header's track (or 1 after a bump) into
  // *believed, where the head is then into *physical; returns the time it takes.
  int64_t FindHead(const Disk* disk, int64_t nowUs, int* believed, int* physical) const;
  // The seek from where the disk stands at a moment, its wait for a sync at the drive's speed,
  // and the time it took.
  SeekedHeader SeekFrom(const std::vector<uint8_t>& ring, double fromUs) const;
  int64_t SeekUs(const std::vector<uint8_t>& ring, const SeekedHeader& seek, double fromUs) const;
  // Sets up a seek's result and header; returns the time it takes.
  int64_t StartSeek(DriveMemory& memory, Disk* disk, int track, int64_t nowUs);

  MechanicsTiming timing_;
  Spindle spindle_;
  bool twoHeads_;
  int headTrack_ = 18;
  bool jobRunning_ = false;
  int jobSlot_ = 0;
  uint8_t jobResult_ = 0;
  int jobEndTrack_ = 0;
  int jobKnownTrack_ = 0;  // what the job leaves at $0022; 0 leaves it as it is
  int64_t jobDoneUs_ = 0;
  // The header a seek read, left in RAM when it is done ($16-$1A in the order there).
  bool jobReadHeader_ = false;
  std::array<uint8_t, 5> jobHeader_{};
  int jitterTicks_ = 120;
  uint32_t jitterState_;
  static constexpr int kCountJitter = 1;
  uint32_t countJitterState_;
  bool motorStopped_ = false;
  bool codeHung_ = false;
  std::optional<double> pullDiskAt_;
  std::optional<double> stuckWriteAt_;
  std::optional<SpoiledSector> spoiledWrite_;
  int64_t motorRunsUntilUs_ = 0;
};

}  // namespace sim
