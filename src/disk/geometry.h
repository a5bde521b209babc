#pragma once
// Image layouts (D64 with 35 or 40 tracks, D71, D81), the track table and the image file
// size check.

#include <cstdint>

#include "shell/program.h"

namespace dw {

void BuildTrackTable(Program& p);
uint8_t SelectGeometry(Program& p, bool doubleSided);
uint8_t MatchImageFileSize(Program& p, int32_t fileSize);

}  // namespace dw
