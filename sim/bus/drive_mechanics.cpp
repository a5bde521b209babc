#include "sim/bus/drive_mechanics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace sim {

namespace {

constexpr int kQueueSlots = 6;
constexpr uint16_t kQueueTracks = 0x0006;
constexpr uint8_t kJobCodeMin = 0x80;
constexpr uint8_t kJobForDriveOne = 0x01;
constexpr uint8_t kJobSeek = 0xB0;
constexpr uint8_t kJobBump = 0xC0;
constexpr uint8_t kResultOk = 0x01;
constexpr uint8_t kResultNoDrive = 0x0F;
constexpr int kFirstTrack = 1;
constexpr int kLastTrack = 42;
// A seek reads the first header that comes by: a part of a turn.
constexpr double kSeekTurns = 0.1;

}  // namespace

DriveMechanics::DriveMechanics(int device, double rpm)
    : spindle_(device, rpm), jitterState_(0x9E3779B9u ^ static_cast<uint32_t>(device)) {}

void DriveMechanics::Restart() {
  jobRunning_ = false;
  codeHung_ = false;
}

int64_t DriveMechanics::MoveHead(int trackOnSide) {
  trackOnSide = std::clamp(trackOnSide, kFirstTrack, kLastTrack);
  if (trackOnSide == headTrack_) return 0;
  const int64_t halfSteps = 2 * std::abs(trackOnSide - headTrack_);
  headTrack_ = trackOnSide;
  return halfSteps * timing_.halfStepUs + timing_.settleUs;
}

void DriveMechanics::StartQueuedJob(DriveMemory& memory, Disk* disk, int slot, int64_t nowUs) {
  const uint8_t code = memory.Read(static_cast<uint16_t>(slot));
  if (code < kJobCodeMin || slot >= kQueueSlots) return;
  const int track = memory.Read(static_cast<uint16_t>(kQueueTracks + 2 * slot));
  int64_t takesUs = 0;
  if (code & kJobForDriveOne) {
    jobResult_ = kResultNoDrive;
    jobEndTrack_ = headTrack_;
  } else if ((code & 0xF0) == kJobBump) {
    jobResult_ = kResultOk;
    jobEndTrack_ = kFirstTrack;
    takesUs = timing_.bumpHalfSteps * timing_.halfStepUs + timing_.settleUs;
  } else if ((code & 0xF0) == kJobSeek) {
    jobEndTrack_ = std::clamp(track, kFirstTrack, kLastTrack);
    takesUs =
        2 * std::abs(jobEndTrack_ - headTrack_) * timing_.halfStepUs + timing_.settleUs +
        static_cast<int64_t>(kSeekTurns * spindle_.RevolutionUsFrom(static_cast<double>(nowUs)));
    std::array<uint8_t, 2> id{};
    jobResult_ = disk != nullptr && !motorStopped_
                     ? static_cast<uint8_t>(disk->SeekHeader(track, id))
                     : static_cast<uint8_t>(kJobNoSync);
  } else {
    return;
  }
  jobRunning_ = true;
  jobSlot_ = slot;
  jobDoneUs_ = nowUs + takesUs;
}

void DriveMechanics::Settle(DriveMemory& memory, int64_t nowUs) {
  if (!jobRunning_ || nowUs < jobDoneUs_) return;
  jobRunning_ = false;
  headTrack_ = jobEndTrack_;
  memory.Write(static_cast<uint16_t>(jobSlot_), jobResult_);
}

int DriveMechanics::NextJitterTicks() {
  if (jitterTicks_ <= 0) return 0;
  jitterState_ ^= jitterState_ << 13;
  jitterState_ ^= jitterState_ >> 17;
  jitterState_ ^= jitterState_ << 5;
  const int span = 2 * jitterTicks_ + 1;
  return static_cast<int>(jitterState_ % static_cast<uint32_t>(span)) - jitterTicks_;
}

bool DriveMechanics::TakePullDisk() {
  const bool pull = pullDiskPending_;
  pullDiskPending_ = false;
  return pull;
}

}  // namespace sim
