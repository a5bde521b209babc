#pragma once
// The result codes of the drive controller's jobs, as the drives report them and as an image's
// error bytes record a sector (their low four bits).

#include <cstdint>

namespace dw {

enum JobCode : uint8_t {
  kJobGood = 1,
  kJobHeaderNotFound = 2,
  kJobNoSync = 3,
  kJobDataBlockNotFound = 4,
  kJobDataChecksum = 5,
  kJobWriteProtected = 8,
  kJobHeaderChecksum = 9,
  kJobDiskIdMismatch = 11,
};

}  // namespace dw
