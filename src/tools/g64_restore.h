#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Writes a raw-GCR G64 image file to a GCR drive track by track.
void RestoreG64Image(Program& p, const std::string& path);

}  // namespace dw
