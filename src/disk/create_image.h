#pragma once
#include "core/program.h"

namespace dw {

// Copies the disk in the selected drive into an image file (D64, D71 or D81): every track
// into ImageBuffer, then, when nothing went wrong on the link, the file the user names.
void CreateDiskImage(Program& p);

}  // namespace dw
