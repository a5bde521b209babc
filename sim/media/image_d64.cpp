// D64: one side of 35, 40 or 42 tracks; the size alone tells the variant.

#include <array>

#include "sim/media/gcr_image.h"
#include "sim/media/images.h"

namespace sim {
namespace {

constexpr std::array<int, 3> kD64TrackCounts = {35, 40, 42};

std::string AcceptedSizes() {
  std::string text;
  for (int tracks : kD64TrackCounts) {
    for (bool errors : {false, true}) {
      if (!text.empty()) text += ", ";
      text += std::to_string(SectorImageSize({tracks, 1, errors}));
    }
  }
  return text;
}

}  // namespace

std::unique_ptr<GcrDisk> GcrDiskFromD64(std::span<const uint8_t> image, std::string* error) {
  for (int tracks : kD64TrackCounts) {
    for (bool errors : {false, true}) {
      const SectorImageLayout layout = {tracks, 1, errors};
      if (image.size() == SectorImageSize(layout)) return GcrDiskFromSectorImage(image, layout);
    }
  }
  if (error) {
    *error = "not a D64 image: " + std::to_string(image.size()) + " bytes (a D64 has " +
             AcceptedSizes() + ")";
  }
  return nullptr;
}

std::vector<uint8_t> D64FromDisk(const GcrDisk& disk) {
  return SectorImageFromGcrDisk(disk, disk.tracksPerSide(), 1);
}

}  // namespace sim
