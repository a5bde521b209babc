#include "gcr/zones.h"

namespace dw {

int32_t NominalTrackCapacity(int zone, float rpm) {
  return NominalCapacityBytes(zone, static_cast<double>(rpm));
}

}  // namespace dw
