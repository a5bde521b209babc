#pragma once
#include <cstdint>

namespace dw {

// Raw bytes one revolution holds in a bit-rate zone (0..3) at the given spindle speed.
int32_t NominalTrackCapacity(int zone, float rpm);

}  // namespace dw
