#pragma once
// Work a drive does on its disk over a stretch of virtual time: a track read, write or speed
// measurement of the drive code, a 1581 burst read or write, a DOS format. Its effects belong to
// the moments they happen at: what lands in the middle of it (the power going off, the IEC reset
// line, the adapter giving the job up, the disk leaving, a write-protect tab, the motor
// stopping) cuts it there. A write then stops part-way (new up to that angle, the splice, the old
// recording after it), a read gives what the head gives from then on, and the reply the adapter
// is forwarding changes with it.
//
// What the adapter does when its drive vanishes in the middle of a transfer: a drive switched off
// holds the IEC lines, and the adapter waits on them for the next byte and never replies (the
// bytes it had forwarded stay with the PC). A drive that goes on answering (the disk left, the
// motor stopped) sends what its head gives, and the reply comes whole.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace sim {

class VirtualDrive;

enum class Interruption {
  kPowerOff,     // the drive's power goes: it stops at once and holds the bus lines
  kBusReset,     // the IEC reset line: the drive restarts
  kAdapterGone,  // the adapter gives the job up (a BREAK, the adapter unplugged): its data stops
  kDiskOut,      // the disk leaves the drive
  kProtected,    // a write-protect tab covers the notch: the write current stops
  kMotorStop,    // the spindle stops turning
};

// How the reply the adapter is forwarding changes when the work is cut.
struct ReplyChange {
  enum class Kind {
    kNone,
    kHang,   // the drive sends nothing more and the adapter never ends the reply
    kPatch,  // bytes of the reply that have not gone out yet change (below)
  };
  Kind kind = Kind::kNone;
  // kPatch: reply bytes [zeroFrom, zeroTo) become $00, those of `set` take their values; with
  // restartUs the reply goes out afresh from then on instead.
  size_t zeroFrom = 0;
  size_t zeroTo = 0;
  std::vector<std::pair<size_t, uint8_t>> set;
  int64_t restartUs = 0;
};

struct WorkCut {
  bool over = true;  // false: the work goes on (a read that now reads nothing)
  ReplyChange reply;
};

inline constexpr int64_t kNeverUs = std::numeric_limits<int64_t>::max();

class DriveWork {
 public:
  DriveWork(VirtualDrive& drive, int64_t startUs, int64_t diskEndUs)
      : drive_(drive), startUs_(startUs), diskEndUs_(diskEndUs), endUs_(diskEndUs) {}
  virtual ~DriveWork() = default;
  DriveWork(const DriveWork&) = delete;
  DriveWork& operator=(const DriveWork&) = delete;

  VirtualDrive& drive() { return drive_; }
  // The stretch in which the work uses the disk (a pulled-out disk leaves within it).
  int64_t startUs() const { return startUs_; }
  int64_t diskEndUs() const { return diskEndUs_; }
  // When the work and the data of its reply are done (kNeverUs: it never ends by itself).
  int64_t endUs() const { return endUs_; }
  void ExtendTo(int64_t us) { endUs_ = std::max(endUs_, us); }

  // The reply as it went out on the line (0: none) and how its data came.
  int64_t replyId = 0;
  std::vector<uint8_t> reply;
  int64_t replyPaceNs = 0;
  size_t replyDataBytes = 0;
  // Set once the bus has seen the work (its reply sent, its pull-out placed).
  bool adopted = false;

  // The work done whole, at endUs.
  virtual void Finish() {}
  // What lands at atUs (startUs <= atUs < endUs) does to it: its effects up to there are made.
  virtual WorkCut Interrupt(int64_t atUs, Interruption what) = 0;

 protected:
  void EndAt(int64_t us) { endUs_ = us; }

 private:
  VirtualDrive& drive_;
  int64_t startUs_;
  int64_t diskEndUs_;
  int64_t endUs_;
};

}  // namespace sim
