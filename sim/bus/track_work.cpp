#include "sim/bus/track_work.h"

#include <algorithm>

#include "sim/bus/virtual_drive.h"
#include "sim/media/geometry.h"
#include "sim/media/head_signal.h"

namespace sim {

namespace {

// Bytes the head has passed from `fromUs` to `atUs`, one every byteUs, at most `count`.
size_t BytesPassed(int64_t fromUs, int64_t atUs, int64_t byteUs, size_t count) {
  if (atUs <= fromUs || byteUs <= 0) return 0;
  return std::min(count, static_cast<size_t>((atUs - fromUs) / byteUs));
}

constexpr size_t kBamSidesByte = 3;
constexpr uint8_t kBamDoubleSided = 0x80;

// What the disk tells about itself after a whole track went down: tracks beyond 35 make it a
// 40-track disk; the directory track gives its ID, and its BAM whether DOS tracks 36-70 lie on
// the second side (as a 1571 reads the flag when it initialises the disk).
void NoteWrittenTrack(GcrDisk& disk, int side, int track) {
  if (side != 0) return;
  if (track > disk.tracksPerSide()) disk.setTracksPerSide(track <= 40 ? 40 : kGcrMaxTrack);
  DiskId id{};
  if (track != kGcrDirTrack || disk.SeekHeader(track, id) != kJobOk) return;
  disk.setId(id);
  SectorData bam{};
  if (disk.ReadSector(kGcrDirTrack, 0, bam) == kJobOk) {
    disk.SetDoubleSided((bam[kBamSidesByte] & kBamDoubleSided) != 0);
  }
}

bool StopsTheDisk(Interruption what) {
  return what == Interruption::kDiskOut || what == Interruption::kMotorStop;
}

class TrackRead final : public DriveWork {
 public:
  TrackRead(VirtualDrive& drive, int64_t startUs, int64_t byteUs, size_t count)
      : DriveWork(drive, startUs, startUs + static_cast<int64_t>(count) * byteUs),
        byteUs_(byteUs),
        count_(count) {}

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    if (what == Interruption::kPowerOff) cut.reply.kind = ReplyChange::Kind::kHang;
    if (StopsTheDisk(what)) {
      // The code goes on reading: the head gives zero bits from here on.
      cut.over = false;
      cut.reply.kind = ReplyChange::Kind::kPatch;
      cut.reply.zeroFrom = BytesPassed(startUs(), atUs, byteUs_, count_);
      cut.reply.zeroTo = count_;
    }
    if (what == Interruption::kProtected) cut.over = false;
    return cut;
  }

 private:
  int64_t byteUs_;
  size_t count_;
};

class TrackWrite final : public DriveWork {
 public:
  TrackWrite(VirtualDrive& drive, TrackWritePlan plan)
      : DriveWork(drive, plan.startUs,
                  plan.startUs + static_cast<int64_t>(plan.bytes.size()) * plan.byteUs),
        plan_(std::move(plan)) {
    if (plan_.stuckAfter) ExtendTo(kNeverUs);
  }

  void Finish() override { LayDown(plan_.bytes); }

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    if (!plan_.stuckAfter) {
      LayDown(std::span(plan_.bytes).first(Written(atUs)));
      if (what == Interruption::kPowerOff) cut.reply.kind = ReplyChange::Kind::kHang;
      return cut;
    }
    // The gate stays on until the drive restarts; a disk that leaves takes what was written.
    if (what == Interruption::kAdapterGone) {
      cut.over = false;
      return cut;
    }
    LayDown(StuckRecording(atUs));
    cut.over = what == Interruption::kPowerOff || what == Interruption::kBusReset;
    return cut;
  }

 private:
  size_t Written(int64_t atUs) const {
    return BytesPassed(plan_.startUs, atUs, plan_.byteUs, plan_.bytes.size());
  }

  // The bytes up to where the data stopped, then its last byte again and again until atUs.
  std::vector<uint8_t> StuckRecording(int64_t atUs) const {
    const size_t given = std::min(*plan_.stuckAfter, plan_.bytes.size());
    const size_t passed = BytesPassed(plan_.startUs, atUs, plan_.byteUs, SIZE_MAX);
    std::vector<uint8_t> bytes(plan_.bytes.begin(),
                               plan_.bytes.begin() + static_cast<long>(std::min(given, passed)));
    if (passed <= given || bytes.empty()) return bytes;
    // Past a revolution every turn is the same: only the place of the splice moves on.
    const size_t turn = RevolutionBytes(plan_.zone, plan_.revolutionUs);
    size_t again = passed - given;
    if (turn > 0 && again > 2 * turn) again = turn + (again - turn) % turn;
    bytes.resize(given + again, bytes.back());
    return bytes;
  }

  void LayDown(std::span<const uint8_t> bytes) {
    if (laid_ || plan_.disk == nullptr) return;
    laid_ = true;
    if (bytes.empty()) return;
    GcrDisk::Track& track = plan_.disk->TrackOnSide(plan_.side, plan_.track);
    WriteRevolution(track.bytes, plan_.zone, plan_.revolutionUs, plan_.startTurn, bytes);
    if (plan_.spoiled) SpoilGcrDataBlock(track.bytes, plan_.spoiled->track, plan_.spoiled->sector);
    track.density = plan_.zone;
    track.present = true;
    track.faint.clear();
    NoteWrittenTrack(*plan_.disk, plan_.side, plan_.track);
  }

  TrackWritePlan plan_;
  bool laid_ = false;
};

class SpeedMeasurement final : public DriveWork {
 public:
  SpeedMeasurement(VirtualDrive& drive, int64_t startUs, std::optional<int64_t> syncUs,
                   int64_t answerUs, int64_t timeoutUs)
      : DriveWork(drive, startUs, answerUs), timed_(syncUs.has_value()), timeoutUs_(timeoutUs) {}

  WorkCut Interrupt(int64_t atUs, Interruption what) override {
    WorkCut cut;
    if (what == Interruption::kPowerOff) cut.reply.kind = ReplyChange::Kind::kHang;
    if (StopsTheDisk(what) && timed_ && atUs < diskEndUs()) {
      // The sync never comes round again: the code gives up and answers 0.
      cut.reply.kind = ReplyChange::Kind::kPatch;
      cut.reply.zeroFrom = 0;
      cut.reply.zeroTo = 3;
      cut.reply.restartUs = timeoutUs_;
    }
    return cut;
  }

 private:
  bool timed_;
  int64_t timeoutUs_;
};

}  // namespace

std::unique_ptr<DriveWork> MakeTrackRead(VirtualDrive& drive, int64_t readStartUs, int64_t byteUs,
                                         size_t count) {
  return std::make_unique<TrackRead>(drive, readStartUs, byteUs, count);
}

std::unique_ptr<DriveWork> MakeTrackWrite(VirtualDrive& drive, TrackWritePlan plan) {
  return std::make_unique<TrackWrite>(drive, std::move(plan));
}

std::unique_ptr<DriveWork> MakeSpeedMeasurement(VirtualDrive& drive, int64_t startUs,
                                                std::optional<int64_t> syncUs, int64_t answerUs,
                                                int64_t timeoutUs) {
  return std::make_unique<SpeedMeasurement>(drive, startUs, syncUs, answerUs, timeoutUs);
}

}  // namespace sim
