#pragma once
#include "core/program.h"

namespace dw {

// Fast Format of a 1541-family, 1570 or 1571 disk: 35 empty tracks built on the PC with the
// chosen ID and the BAM mark, written by the drive code, then "N:" with the name.
void FormatDisk(Program& p);

}  // namespace dw
