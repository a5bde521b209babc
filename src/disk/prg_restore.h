#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// Writes a PC program file to the disk as a PRG file.
void RestorePrg(Program& p, const std::string& path);
// The Verify command: picks the file and verifies the disk against it.
void VerifyFromFile(Program& p);

}  // namespace dw
