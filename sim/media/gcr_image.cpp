#include "sim/media/gcr_image.h"

#include <algorithm>

#include "sim/media/geometry.h"
#include "sim/media/images.h"

namespace sim {
namespace {

// The BAM sector 18/0 holds the ID the format wrote into every header.
constexpr size_t kBamIdOffset = 0xA2;

}  // namespace

int SectorImageSectors(int tracksPerSide, int sides) {
  return GcrSectorsBefore(tracksPerSide + 1) * sides;
}

size_t SectorImageSize(const SectorImageLayout& layout) {
  const size_t sectors =
      static_cast<size_t>(SectorImageSectors(layout.tracksPerSide, layout.sides));
  return sectors * 256 + (layout.errorBytes ? sectors : 0);
}

std::unique_ptr<GcrDisk> GcrDiskFromSectorImage(std::span<const uint8_t> image,
                                                const SectorImageLayout& layout) {
  auto disk = std::make_unique<GcrDisk>();
  const size_t sectorCount =
      static_cast<size_t>(SectorImageSectors(layout.tracksPerSide, layout.sides));
  const size_t bamOffset = static_cast<size_t>(GcrSectorsBefore(kGcrDirTrack)) * 256;
  const DiskId id = {image[bamOffset + kBamIdOffset], image[bamOffset + kBamIdOffset + 1]};
  size_t index = 0;
  for (int side = 0; side < layout.sides; ++side) {
    for (int t = 1; t <= layout.tracksPerSide; ++t) {
      std::vector<SectorPlan> plans(static_cast<size_t>(GcrSectorsOnTrack(t)));
      for (SectorPlan& plan : plans) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(index * 256), 256,
                    plan.data.begin());
        if (layout.errorBytes) plan.defect = JobCodeOfErrorByte(image[sectorCount * 256 + index]);
        ++index;
      }
      disk->LayTrack(side, t, id, plans);
    }
  }
  disk->setId(id);
  disk->setTracksPerSide(layout.tracksPerSide);
  disk->SetDoubleSided(layout.sides == 2);
  disk->setLoadedWithErrorBytes(layout.errorBytes);
  return disk;
}

std::vector<uint8_t> SectorImageFromGcrDisk(const GcrDisk& disk, int tracksPerSide, int sides) {
  const size_t sectorCount = static_cast<size_t>(SectorImageSectors(tracksPerSide, sides));
  std::vector<uint8_t> image(sectorCount * 256);
  std::vector<uint8_t> codes(sectorCount);
  size_t index = 0;
  for (int side = 0; side < sides; ++side) {
    for (int t = 1; t <= tracksPerSide; ++t) {
      const GcrDisk::Track& track = disk.TrackOnSide(side, t);
      const int sectors = GcrSectorsOnTrack(t);
      for (const SalvagedSector& sector :
           SalvageGcrTrack(track.bytes, GcrDisk::HeaderTrack(side, t), sectors, disk.id())) {
        if (sector.hasData)
          std::copy(sector.data.begin(), sector.data.end(),
                    image.begin() + static_cast<std::ptrdiff_t>(index * 256));
        codes[index] = static_cast<uint8_t>(sector.code);
        ++index;
      }
    }
  }
  const bool anyBad =
      std::any_of(codes.begin(), codes.end(), [](uint8_t code) { return code != kJobOk; });
  if (anyBad || disk.loadedWithErrorBytes()) image.insert(image.end(), codes.begin(), codes.end());
  return image;
}

}  // namespace sim
