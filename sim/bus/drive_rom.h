#pragma once
// The ROM of a virtual drive. The drives' own ROMs are not part of the virtual bus: the ROM is a
// fixed fill that depends only on the model, with the bytes host tools use to identify the
// drive at $FF40/$FF41. A ROM dump of the same model is therefore always the same.

#include <cstdint>
#include <vector>

#include "sim/bus/drive_models.h"

namespace sim {

// The bytes from model.board.romStart to $FFFF.
std::vector<uint8_t> MakeDriveRom(const DriveModel& model);

}  // namespace sim
