#pragma once
// The drive code's timing job (drive code 3): the time one revolution of the disk takes, from
// a sync mark of a track coming round again under the head.

#include <cstdint>
#include <optional>
#include <string>

#include "core/program.h"

namespace dw {

// One revolution on `track`, in microseconds; nothing when the code found no sync to time (no
// disk, a disk that does not turn, a track never written) or the link failed (LinkState tells).
std::optional<int32_t> TimeOneRevolution(Program& p, int track);

// Microseconds of one revolution from the drive's tick count (1/1.8432 us a tick), halves to
// the even neighbour.
int32_t RevolutionTimeFromTicks(uint32_t ticks);

// The speed of a revolution of t microseconds, with one decimal: 200000 gives "300.0".
std::string RpmText(int32_t revolutionUs);

}  // namespace dw
