#pragma once
// Both sides of a disk in a 1571. The drive starts in 1541 mode after power-up with a C64 and
// goes to 1571 mode on a host's first burst transfer or on "U0>M1"; whether the adapter's fast
// serial switches it is not known. In 1541 mode its DOS reports every disk single-sided ($24 at
// $02AC) and drive code may reach the first side only. Where the program needs the second side
// and the drive reports one, it switches the drive itself, which a drive in 1571 mode already
// takes as a command that changes nothing.

#include <string>

#include "core/program.h"

namespace dw {

// Create (unless 40 tracks are read, all from the first side) and Verify, after
// DetectDiskFormat: a 1571 that reports a single-sided disk whose
// directory header carries the double-sided mark is switched (the log says so) and the disk
// detected again. true when the drive was switched.
bool ReachSecondSideOfDisk(Program& p);

// Restore of a double-sided image, a track dump of the second side, after DetectDiskFormat: a
// 1571 that reports a single-sided disk is switched (the log says why) before the drive code
// goes to the second side.
void ReachSecondSide(Program& p, const std::string& why);

}  // namespace dw
