#pragma once
// The drive controller's own job queue, reached through the loaded drive code's memory jobs:
// a job code written to the first slot ($0000), its track at $0006, runs in the controller's
// interrupt while the drive code waits for the adapter. The slot holds the code while the job
// runs and the job's result code ($01 good, $02 to $0F as the controller reports them) when it
// is done.

#include <cstdint>
#include <optional>

#include "core/program.h"

namespace dw {

inline constexpr uint8_t kControllerSeekJob = 0xB0;
inline constexpr uint8_t kControllerBumpJob = 0xC0;

// Starts a job on a track and waits until its slot reads $80 or less, at most `limitUs`
// microseconds of the program's clock (0: no limit of its own). The result code; nothing when
// the link failed (LinkState tells) or the job was still running at the limit.
std::optional<uint8_t> RunControllerJob(Program& p, uint8_t jobCode, int track, int64_t limitUs);

// After a reset or power-on the drive's DOS does not know which track the head is on, and drive
// code steps the head from the track the DOS believes it is on. A seek job has the controller
// find out (it reads a header where the head stands, or bumps the head against the stop when
// it reads none) and leaves the head on the track, known. Its result does not matter here: a
// blank track still leaves the head where the DOS knows it is.
void LocateHead(Program& p, int track);

// The header the controller read last (a seek leaves it at $0016-$001A): the disk ID as the
// header carries it (first ID character first) and its track number.
struct HeaderRead {
  uint8_t id1 = 0;
  uint8_t id2 = 0;
  uint8_t track = 0;
};
HeaderRead LastHeaderRead(Program& p);

}  // namespace dw
