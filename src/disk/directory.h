#pragma once
#include "core/program.h"

namespace dw {

// LOAD "$": fills the directory list with the disk's listing.
void ShowDirectory(Program& p);
// Copies the program file of the selected directory line to a PC file, whole or not at all:
// the bytes of a transfer that fails are kept beside it, the file's name plus ".part".
void DownloadPrg(Program& p);

}  // namespace dw
