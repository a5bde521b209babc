#pragma once
// The drive code's work on a GCR track in time (drive_work.h): the raw read, the track write
// and the speed measurement, each cut by what lands while the disk turns under the head.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/bus/drive_mechanics.h"
#include "sim/bus/drive_work.h"
#include "sim/media/gcr_disk.h"

namespace sim {

// A read of `count` bytes from readStartUs on, one every byteUs: what the head gives after the
// disk left or the motor stopped is $00.
std::unique_ptr<DriveWork> MakeTrackRead(VirtualDrive& drive, int64_t readStartUs, int64_t byteUs,
                                         size_t count);

// Where a track write goes and how the disk turns under it.
struct TrackWritePlan {
  GcrDisk* disk = nullptr;  // nullptr: no disk turns under the head, nothing is written
  int side = 0;
  int track = 1;
  int zone = 0;
  int64_t startUs = 0;  // the write gate goes on
  int64_t byteUs = 0;
  double revolutionUs = 0;
  double startTurn = 0;
  std::vector<uint8_t> bytes;
  // The data stops after this many bytes while the write gate stays on: the drive writes the
  // last of them round the track until it restarts.
  std::optional<size_t> stuckAfter;
  // A sector whose data the head lays down wrong (the badwrite fault).
  std::optional<DriveMechanics::SpoiledSector> spoiled;
};
std::unique_ptr<DriveWork> MakeTrackWrite(VirtualDrive& drive, TrackWritePlan plan);

// A revolution timed from syncUs on (no sync: none), the answer due at answerUs; without the
// sync coming round again the code answers 0 at timeoutUs.
std::unique_ptr<DriveWork> MakeSpeedMeasurement(VirtualDrive& drive, int64_t startUs,
                                                std::optional<int64_t> syncUs, int64_t answerUs,
                                                int64_t timeoutUs);

}  // namespace sim
