#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Compares the disk in the drive with an image file byte for byte.
void VerifyDiskImage(Program& p, const std::string& path);

}  // namespace dw
