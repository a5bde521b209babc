#pragma once
#include <string>

#include "shell/program.h"

namespace dw {

// Loads and starts drive code (function 0) or runs a job of the loaded code (1, 2, 5..8).
uint8_t DriveJob(Program& p, int function, int p1, int p2, int p3, int p4);

// Reads name + ".h65" from the current directory into CommandPacket[offset ..].
int LoadDriveCodeFile(Program& p, const std::string& name, int offset);

}  // namespace dw
