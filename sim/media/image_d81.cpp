// D81: 80 tracks x 40 sectors of the 1581 in order, optionally 3200 error bytes (job codes).

#include <algorithm>

#include "sim/media/geometry.h"
#include "sim/media/images.h"
#include "sim/media/sector_disk.h"

namespace sim {
namespace {

constexpr size_t kD81Sectors = static_cast<size_t>(k1581Tracks * k1581Sectors);
constexpr size_t kD81Size = kD81Sectors * 256;

}  // namespace

std::unique_ptr<SectorDisk> SectorDiskFromD81(std::span<const uint8_t> image, std::string* error) {
  const bool errors = image.size() == kD81Size + kD81Sectors;
  if (image.size() != kD81Size && !errors) {
    if (error) {
      *error = "not a D81 image: " + std::to_string(image.size()) + " bytes (a D81 has " +
               std::to_string(kD81Size) + " or " + std::to_string(kD81Size + kD81Sectors) + ")";
    }
    return nullptr;
  }
  auto disk = std::make_unique<SectorDisk>();
  size_t index = 0;
  for (int t = 1; t <= k1581Tracks; ++t) {
    for (int s = 0; s < k1581Sectors; ++s, ++index) {
      std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(index * 256), 256,
                  disk->Data(t, s).begin());
      disk->Code(t, s) = errors ? JobCodeOfErrorByte(image[kD81Size + index]) : kJobOk;
    }
  }
  disk->setLoadedWithErrorBytes(errors);
  return disk;
}

std::vector<uint8_t> D81FromDisk(const SectorDisk& disk) {
  std::vector<uint8_t> image;
  image.reserve(kD81Size + kD81Sectors);
  std::vector<uint8_t> codes;
  for (int t = 1; t <= k1581Tracks; ++t) {
    for (int s = 0; s < k1581Sectors; ++s) {
      const SectorData& data = disk.Data(t, s);
      image.insert(image.end(), data.begin(), data.end());
      codes.push_back(static_cast<uint8_t>(disk.Code(t, s)));
    }
  }
  const bool anyBad =
      std::any_of(codes.begin(), codes.end(), [](uint8_t code) { return code != kJobOk; });
  if (anyBad || disk.loadedWithErrorBytes()) image.insert(image.end(), codes.begin(), codes.end());
  return image;
}

}  // namespace sim
