#pragma once
// Before whole tracks are written the drive's turn is timed, so that each track can be fitted
// to one revolution of this drive (track_fit.h).

#include <optional>

#include "core/program.h"
#include "disk/track_fit.h"

namespace dw {

// Times a few revolutions with the timing drive code on track 1. A disk without a recorded
// track there (a blank disk) has nothing to time: track 1 is then written first, blank, and
// timed. Leaves the write drive code started. Nothing, with a line that says why and the
// command marked as failed, when the turn cannot be timed or the drive turns too fast for the
// sectors of tracks 1..lastTrack with the smallest gaps.
std::optional<RevolutionWindow> PrepareTrackWrites(Program& p, int lastTrack);

}  // namespace dw
