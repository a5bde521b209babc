#pragma once
#include "core/program.h"

namespace dw {

// Copies one side of the disk in a 1541-family drive, a 1570 or a 1571 into a G64 file: every
// track read raw at its speed zone, cut to one revolution where it repeats, and turned to start
// in the gap before its first header. Each cut track is decoded for the disk map. A cancelled
// save requester drops the image only when the user says so to the question captioned
// kDiscardG64Caption.
void CreateG64Image(Program& p);

inline constexpr const char* kDiscardG64Caption = "Create G64 image";

}  // namespace dw
