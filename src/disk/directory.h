#pragma once
#include "core/program.h"

namespace dw {

// LOAD "$": fills the directory list with the disk's listing.
void ShowDirectory(Program& p);
// Copies the program file of the selected directory line to a PC file.
void DownloadPrg(Program& p);

}  // namespace dw
