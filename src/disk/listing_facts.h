#pragma once
// What the listing in the directory list (the last LOAD "$") tells of the disk in the drive.

#include <optional>
#include <string>

#include "core/program.h"

namespace dw {

struct ListedDisk {
  std::string name;  // the header's disk name, without the blanks that pad it to 16
  std::string id;    // the two ID characters after the name
  int files = 0;     // the file lines between the header and "BLOCKS FREE."
};

// nullopt when the list holds no listing: no disk, a blank or unformatted one, or a drive error.
std::optional<ListedDisk> ListedDiskOf(Program& p);

}  // namespace dw
