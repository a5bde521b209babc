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

}  // namespace dw
