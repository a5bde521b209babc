#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/program.h"

namespace dw {

// Chooses a PC file with the types that fit the drive. Returns the full path, or an empty
// text when the user cancelled.
std::string SelectImageFile(Program& p, bool saving, int entry, const std::string& defaultName);

// Chooses the PC file a G64 image is saved to ("G64 Image", then all files). Returns the full
// path, or an empty text when the user cancelled.
std::string SelectG64File(Program& p);

// Positions an open image file; false (and, unless quiet, a log line) beyond its end.
bool SeekImageFile(Program& p, std::FILE* file, int32_t position, bool quiet);

}  // namespace dw
