#include "sim/bus/drive_mechanics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sim/media/gcr_disk.h"
#include "sim/media/gcr_sector.h"

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
// Where the controller keeps the disk ID, the last header it read and the track the head is on.
constexpr uint16_t kDiskIdAddress = 0x0012;
constexpr uint16_t kLastHeaderAddress = 0x0016;
constexpr uint16_t kHeadTrackAddress = 0x0022;

struct SeekPlace {
  int side = 0;
  int trackOnSide = kFirstTrack;
};

// A track as the DOS numbers it: a double-sided disk in a drive with two heads has DOS tracks
// 36-70 on its second side; other numbers outside 1-42 leave the head at the stop.
SeekPlace SeekPlaceOf(int track, const Disk* disk, bool twoHeads) {
  const bool secondSide = twoHeads && disk != nullptr && disk->IsGcr() && disk->IsDoubleSided() &&
                          track >= kSideTwoFirstTrack && track < 2 * kSideTwoFirstTrack - 1;
  if (secondSide) return {1, track - (kSideTwoFirstTrack - 1)};
  return {0, std::clamp(track, kFirstTrack, kLastTrack)};
}

// -reach to +reach, each equally often, from a seeded sequence: the same run of a test gives
// the same figures.
int SeededJitter(uint32_t& state, int reach) {
  if (reach <= 0) return 0;
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  const int span = 2 * reach + 1;
  return static_cast<int>(state % static_cast<uint32_t>(span)) - reach;
}

}  // namespace

DriveMechanics::DriveMechanics(int device, double rpm, bool twoHeads)
    : spindle_(device, rpm),
      twoHeads_(twoHeads),
      jitterState_(0x9E3779B9u ^ static_cast<uint32_t>(device)),
      countJitterState_(0x85EBCA6Bu ^ static_cast<uint32_t>(device)) {}

void DriveMechanics::Restart() {
  jobRunning_ = false;
  codeHung_ = false;
  motorRunsUntilUs_ = 0;
}

DriveMechanics::Steps DriveMechanics::StepsFrom(int physical, int believed, int trackOnSide) const {
  const int tracks = trackOnSide - believed;
  Steps steps;
  // Steps against the stop move nothing, but take their time.
  steps.endTrack = std::clamp(physical + tracks, kFirstTrack, kLastTrack);
  if (tracks != 0) steps.us = 2 * std::abs(tracks) * timing_.halfStepUs + timing_.settleUs;
  return steps;
}

int64_t DriveMechanics::StepHead(DriveMemory& memory, int trackOnSide) {
  const Steps steps = StepsFrom(headTrack_, memory.Read(kHeadTrackAddress), trackOnSide);
  headTrack_ = steps.endTrack;
  memory.Write(kHeadTrackAddress, static_cast<uint8_t>(trackOnSide));
  return steps.us;
}

int64_t DriveMechanics::FindHead(const Disk* disk, int64_t nowUs, int* believed,
                                 int* physical) const {
  int64_t searchUs = timing_.noSyncUs;
  if (disk != nullptr && disk->IsGcr() && !motorStopped_) {
    const std::vector<uint8_t>& ring =
        static_cast<const GcrDisk*>(disk)->TrackOnSide(0, headTrack_).bytes;
    const double fromUs = static_cast<double>(nowUs);
    const SeekedHeader seek = SeekFrom(ring, fromUs);
    searchUs = SeekUs(ring, seek, fromUs);
    if (seek.code == kJobOk && seek.track >= kFirstTrack && seek.track <= kLastTrack) {
      *believed = seek.track;
      *physical = headTrack_;
      return searchUs;
    }
  }
  *believed = kFirstTrack;
  *physical = kFirstTrack;
  return searchUs + timing_.bumpHalfSteps * timing_.halfStepUs + timing_.settleUs;
}

int64_t DriveMechanics::SeekForDos(DriveMemory& memory, const Disk* disk, int trackOnSide,
                                   int64_t nowUs) {
  int believed = memory.Read(kHeadTrackAddress);
  int physical = headTrack_;
  int64_t us = 0;
  if (believed == 0) us = FindHead(disk, nowUs, &believed, &physical);
  const Steps steps = StepsFrom(physical, believed, trackOnSide);
  headTrack_ = steps.endTrack;
  memory.Write(kHeadTrackAddress, static_cast<uint8_t>(trackOnSide));
  return us + steps.us;
}

void DriveMechanics::StartQueuedJob(DriveMemory& memory, Disk* disk, int slot, int64_t nowUs) {
  const uint8_t code = memory.Read(static_cast<uint16_t>(slot));
  if (code < kJobCodeMin || slot >= kQueueSlots) return;
  const int track = memory.Read(static_cast<uint16_t>(kQueueTracks + 2 * slot));
  int64_t takesUs = 0;
  jobReadHeader_ = false;
  jobKnownTrack_ = 0;
  if (code & kJobForDriveOne) {
    jobResult_ = kResultNoDrive;
    jobEndTrack_ = headTrack_;
  } else if ((code & 0xF0) == kJobBump) {
    jobResult_ = kResultOk;
    jobEndTrack_ = kFirstTrack;
    jobKnownTrack_ = kFirstTrack;
    takesUs = timing_.bumpHalfSteps * timing_.halfStepUs + timing_.settleUs;
  } else if ((code & 0xF0) == kJobSeek) {
    takesUs = StartSeek(memory, disk, track, nowUs);
  } else {
    return;
  }
  jobRunning_ = true;
  jobSlot_ = slot;
  jobDoneUs_ = nowUs + takesUs;
}

int64_t DriveMechanics::StartSeek(DriveMemory& memory, Disk* disk, int track, int64_t nowUs) {
  const SeekPlace place = SeekPlaceOf(track, disk, twoHeads_);
  int believed = memory.Read(kHeadTrackAddress);
  int physical = headTrack_;
  int64_t findUs = 0;
  if (believed == 0) findUs = FindHead(disk, nowUs, &believed, &physical);
  const Steps steps = StepsFrom(physical, believed, place.trackOnSide);
  jobEndTrack_ = steps.endTrack;
  jobKnownTrack_ = place.trackOnSide;
  const int64_t stepsUs = findUs + steps.us;
  jobResult_ = static_cast<uint8_t>(kJobNoSync);
  // Without a disk turning under it the head finds no sync: a 1541 has no sensor for either.
  if (disk == nullptr || !disk->IsGcr() || motorStopped_) return stepsUs + timing_.noSyncUs;
  const std::vector<uint8_t>& ring =
      static_cast<GcrDisk*>(disk)->TrackOnSide(place.side, steps.endTrack).bytes;
  // The head reads from where the disk stands once it is on the track.
  const double readyUs = static_cast<double>(nowUs + stepsUs);
  const SeekedHeader seek = SeekFrom(ring, readyUs);
  jobResult_ = static_cast<uint8_t>(seek.code);
  jobReadHeader_ = seek.code == kJobOk || seek.code == kJobHeaderChecksum;
  jobHeader_ = {seek.id[0], seek.id[1], seek.track, seek.sector, seek.checksum};
  return stepsUs + SeekUs(ring, seek, readyUs);
}

SeekedHeader DriveMechanics::SeekFrom(const std::vector<uint8_t>& ring, double fromUs) const {
  const double bits = static_cast<double>(ring.size() * 8);
  const double noSyncBits =
      bits * static_cast<double>(timing_.noSyncUs) / spindle_.RevolutionUsFrom(fromUs);
  return SeekGcrHeader(ring, static_cast<size_t>(spindle_.AngleAt(fromUs) * bits),
                       static_cast<size_t>(noSyncBits));
}

int64_t DriveMechanics::SeekUs(const std::vector<uint8_t>& ring, const SeekedHeader& seek,
                               double fromUs) const {
  const double turns = static_cast<double>(seek.bitsPassed) / static_cast<double>(ring.size() * 8);
  const auto us = static_cast<int64_t>(std::ceil(spindle_.UsForTurns(fromUs, turns)));
  return seek.code == kJobNoSync ? std::max(us, timing_.noSyncUs) : us;
}

void DriveMechanics::Settle(DriveMemory& memory, int64_t nowUs) {
  if (!jobRunning_ || nowUs < jobDoneUs_) return;
  jobRunning_ = false;
  headTrack_ = jobEndTrack_;
  if (jobKnownTrack_ != 0) memory.Write(kHeadTrackAddress, static_cast<uint8_t>(jobKnownTrack_));
  if (jobReadHeader_) {
    for (size_t i = 0; i < jobHeader_.size(); ++i) {
      memory.Write(static_cast<uint16_t>(kLastHeaderAddress + i), jobHeader_[i]);
    }
  }
  if (jobReadHeader_ && jobResult_ == kResultOk) {
    memory.Write(kDiskIdAddress, jobHeader_[0]);
    memory.Write(kDiskIdAddress + 1, jobHeader_[1]);
  }
  memory.Write(static_cast<uint16_t>(jobSlot_), jobResult_);
}

int DriveMechanics::NextJitterTicks() {
  return SeededJitter(jitterState_, jitterTicks_);
}

int DriveMechanics::NextCountJitter() {
  return SeededJitter(countJitterState_, kCountJitter);
}

}  // namespace sim
