#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Reads the model byte at $FF40 and probes for the fast serial path; sets DriveModelName,
// DriveFamily and FastSerialDriver.
void DetectDriveModel(Program& p);

// Sets DiskFormat (and DiskId when initialise is set); returns "1541 DISK", "1571 DISK ???",
// "1571 DISK" or "1581 DISK".
std::string DetectDiskFormat(Program& p, bool initialise);

}  // namespace dw
