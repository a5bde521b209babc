#pragma once
#include "core/program.h"

namespace dw {

// Copies the disk in the selected drive into an image file (D64, D71 or D81): every track
// into ImageBuffer, then, when nothing went wrong on the link, the file the user names. A
// cancelled save requester drops the image only when the user says so to the question
// captioned kDiscardImageCaption; No shows the requester again.
void CreateDiskImage(Program& p);

inline constexpr const char* kDiscardImageCaption = "Create disk image";

}  // namespace dw
