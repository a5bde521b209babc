// D71: two D64 sides of 35 tracks; side 2 holds DOS tracks 36-70 with those numbers in headers.

#include "sim/media/gcr_image.h"
#include "sim/media/images.h"

namespace sim {
namespace {

constexpr int kD71TracksPerSide = 35;

}  // namespace

std::unique_ptr<GcrDisk> GcrDiskFromD71(std::span<const uint8_t> image, std::string* error) {
  for (bool errors : {false, true}) {
    const SectorImageLayout layout = {kD71TracksPerSide, 2, errors};
    if (image.size() == SectorImageSize(layout)) return GcrDiskFromSectorImage(image, layout);
  }
  if (error) {
    *error = "not a D71 image: " + std::to_string(image.size()) + " bytes (a D71 has " +
             std::to_string(SectorImageSize({kD71TracksPerSide, 2, false})) + " or " +
             std::to_string(SectorImageSize({kD71TracksPerSide, 2, true})) + ")";
  }
  return nullptr;
}

std::vector<uint8_t> D71FromDisk(const GcrDisk& disk) {
  return SectorImageFromGcrDisk(disk, kD71TracksPerSide, 2);
}

}  // namespace sim
