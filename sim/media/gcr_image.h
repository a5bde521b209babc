#pragma once
// Sector images of GCR disks (D64, D71): sides of 35, 40 or 42 tracks, each sector 256 bytes in
// track order, then optionally one error byte per sector (a job code; 1 = good).

#include <memory>
#include <span>
#include <vector>

#include "sim/media/gcr_disk.h"

namespace sim {

struct SectorImageLayout {
  int tracksPerSide = 35;
  int sides = 1;
  bool errorBytes = false;
};

int SectorImageSectors(int tracksPerSide, int sides);
size_t SectorImageSize(const SectorImageLayout& layout);

// The image must have exactly the layout's size.
std::unique_ptr<GcrDisk> GcrDiskFromSectorImage(std::span<const uint8_t> image,
                                                const SectorImageLayout& layout);
// Decodes every sector as an imaging tool would; error bytes follow when some sector is not good
// or the disk was loaded with them.
std::vector<uint8_t> SectorImageFromGcrDisk(const GcrDisk& disk, int tracksPerSide, int sides);

}  // namespace sim
