#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Writes a raw-GCR G64 image file to a GCR drive track by track. The drive's turn is timed
// first; a track longer than it gives up gap bytes to fit (g64_track_fit.h).
void RestoreG64Image(Program& p, const std::string& path);

}  // namespace dw
