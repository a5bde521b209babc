#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Reads the model byte at $FF40 and probes for the fast serial path; sets DriveModelByte,
// DriveModelName, DriveFamily and FastSerialDriver.
void DetectDriveModel(Program& p);

// Whole-disk work needs to know the drive: its tracks, zones and drive code follow from the
// model. True for a known model; otherwise logs the model byte the drive gave, marks the
// command as failed and returns false.
bool RequireKnownDriveModel(Program& p);

// Sets DiskFormat (and DiskId when initialise is set); returns "1541 DISK", "1571 DISK ???",
// "1571 DISK" or "1581 DISK".
std::string DetectDiskFormat(Program& p, bool initialise);

// A 1571 starts in 1541 mode after power-up with a C64; in it its DOS takes every disk as
// single-sided, and its drive code may reach the first side only. "U0>M1" puts it in 1571 mode;
// the log says so and why.
void SwitchTo1571Mode(Program& p, const std::string& why);

}  // namespace dw
