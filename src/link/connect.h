#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/program.h"

namespace dw {

// The device number a selector item starts with ("8: 1541" gives 8); 0 when none.
uint8_t DeviceNumberOf(const std::string& item);

// Scans COM0..COM32 for the adapter's banner; leaves the link port open on success. `tried`
// (when given) gets each port that was there to try, with why it is not the link.
bool FindAdapter(Program& p, std::vector<PortTrial>* tried = nullptr);

// Finds the adapter, resets the bus and lists the drives at 8..11; returns only when at least
// one drive answers (ends the program when the adapter is missing or the window is closed).
void ConnectDrives(Program& p);

}  // namespace dw
