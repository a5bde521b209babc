#include "sim/media/disk.h"

#include "sim/media/gcr_disk.h"
#include "sim/media/images.h"
#include "sim/media/sector_disk.h"

namespace sim {

std::unique_ptr<Disk> Disk::Load(const std::string& path, std::string* error) {
  const std::string extension = ExtensionOf(path);
  if (extension != "d64" && extension != "d71" && extension != "d81" && extension != "g64") {
    if (error) *error = "\"" + path + "\" is not a disk image: use .d64, .d71, .d81 or .g64";
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, error)) return nullptr;
  std::unique_ptr<Disk> disk;
  std::string reason;
  if (extension == "d64") disk = GcrDiskFromD64(bytes, &reason);
  if (extension == "d71") disk = GcrDiskFromD71(bytes, &reason);
  if (extension == "d81") disk = SectorDiskFromD81(bytes, &reason);
  if (extension == "g64") disk = GcrDiskFromG64(bytes, &reason);
  if (!disk && error) *error = "\"" + path + "\": " + reason;
  return disk;
}

std::unique_ptr<Disk> Disk::Blank(bool gcr, bool doubleSided) {
  if (!gcr) return std::make_unique<SectorDisk>();
  auto disk = std::make_unique<GcrDisk>();
  disk->SetDoubleSided(doubleSided);
  return disk;
}

}  // namespace sim
