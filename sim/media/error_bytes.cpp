// The error bytes appended to D64, D71 and D81 images.

#include "sim/media/disk.h"
#include "sim/media/images.h"

namespace sim {

int JobCodeOfErrorByte(uint8_t byte) {
  // The DOS looks at the low four bits of a job's result only, and so do the images: $12 is
  // code 2, header not found.
  constexpr uint8_t kJobCodeBits = 0x0F;
  const int code = byte & kJobCodeBits;
  switch (code) {
    case kJobHeaderNotFound:
    case kJobNoSync:
    case kJobDataBlockNotFound:
    case kJobDataChecksum:
    case kJobHeaderChecksum:
    case kJobIdMismatch:
      return code;
    default:
      return kJobOk;
  }
}

}  // namespace sim
