#pragma once
#include <string>

#include "cli/session.h"

namespace dw::cli {

// create --each-disk PATTERN: one image per disk, each named by PATTERN with the disk's count
// (box1-%03d.d64 gives box1-001.d64, ...), waiting between two disks for the write-protect
// sense to go dark and light again as one disk goes out and the next goes in. Ends at Ctrl+C
// or after --count disks, with a summary of every file and its bad sectors.
int CreateEachDisk(Session& s);

// The file name for disk `number`; empty when the pattern does not hold exactly one number
// conversion (%d, %3d, %03d).
std::string NameForDisk(const std::string& pattern, int number);

// The sectors a create's track status lines ("hh:mm:ss T01:111...") report as not good.
int CountBadSectors(const std::vector<std::string>& log);

}  // namespace dw::cli
