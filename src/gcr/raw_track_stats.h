#pragma once
#include "core/program.h"

namespace dw {

// Fills TrackStats from the raw track in ReplyData (GCR bytes, then the byte-rate count).
void MeasureRawTrack(Program& p);

}  // namespace dw
