#pragma once
#include <cstdint>
#include <string>

#include "core/program.h"

namespace dw {

// The device number a selector item starts with ("8: 1541" gives 8); 0 when none.
uint8_t DeviceNumberOf(const std::string& item);

// Scans COM0..COM32 for the adapter's banner; leaves the link port open on success.
bool FindAdapter(Program& p);

// Finds the adapter, resets the bus and lists the drives at 8..11; returns only when at least
// one drive answers (ends the program when the adapter is missing or the window is closed).
void ConnectDrives(Program& p);

}  // namespace dw
