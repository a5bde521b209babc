// Image files as the virtual bus loads them when users attach their own: D64, D71, G64 and D81,
// then written back out as the bus saves a changed disk.

#include <cstdint>
#include <span>
#include <string>

#include "sim/media/gcr_disk.h"
#include "sim/media/images.h"
#include "sim/media/sector_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> image(data + 1, size - 1);
  std::string error;
  switch (data[0] % 4) {
    case 0:
      if (auto disk = sim::GcrDiskFromD64(image, &error)) sim::D64FromDisk(*disk);
      break;
    case 1:
      if (auto disk = sim::GcrDiskFromD71(image, &error)) sim::D71FromDisk(*disk);
      break;
    case 2:
      if (auto disk = sim::GcrDiskFromG64(image, &error)) sim::G64FromDisk(*disk);
      break;
    default:
      if (auto disk = sim::SectorDiskFromD81(image, &error)) sim::D81FromDisk(*disk);
      break;
  }
  return 0;
}
