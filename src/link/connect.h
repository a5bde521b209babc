#pragma once
#include "shell/program.h"

namespace dw {

// Scans COM0..COM32 for the adapter's banner; leaves the link port open on success.
bool FindAdapter(Program& p);

// Finds the adapter, resets the bus and lists the drives at 8..11; returns only when at least
// one drive answers (ends the program when the adapter is missing or the window is closed).
void ConnectDrives(Program& p);

}  // namespace dw
