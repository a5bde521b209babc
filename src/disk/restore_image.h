#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Writes a D64 or D71 image file to a GCR drive track by track.
void RestoreDiskImage(Program& p, const std::string& path);
// Writes a D81 image file to a 1581 with burst writes.
void RestoreDiskImage1581(Program& p, const std::string& path);

// The line that ends a restore that wrote the disk: "Restored 35 tracks onto drive 8".
void LogRestored(Program& p, int tracks);

}  // namespace dw
