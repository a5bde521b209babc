// Building a virtual bus from its description.

#include <cctype>
#include <cstdio>

#include "sim/bus/bus_description.h"
#include "sim/bus/track_faults.h"
#include "sim/bus/virtual_bus.h"
#include "sim/media/gcr_disk.h"
#include "sim/media/images.h"

namespace sim {

namespace {

// A .d81 image is a 1581 disk; every other image type is a GCR disk.
bool IsMfmImage(const std::string& path) {
  std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".d81";
}

std::string DoesNotFit(const DriveDescription& description) {
  return "sim: device " + std::to_string(description.device) + ": the disk of " +
         description.imagePath + " does not fit a " + std::string(description.model->name);
}

// A disk whose tracks a drive turning at another speed wrote: as many bytes a track as one of
// that drive's turns holds.
bool RewriteAtWriterSpeed(const DriveDescription& description, Disk* disk, std::string* error) {
  const std::string device = "sim: device " + std::to_string(description.device) + ": ";
  const std::string extension = ExtensionOf(description.imagePath);
  if (disk == nullptr || !disk->IsGcr() || (extension != "d64" && extension != "d71")) {
    *error = device + "a writing speed needs a .d64 or .d71 image, whose sectors it lays anew";
    return false;
  }
  if (!static_cast<GcrDisk*>(disk)->RewriteAtSpeed(description.writerRpm)) {
    char rpm[16];
    std::snprintf(rpm, sizeof rpm, "%g", description.writerRpm);
    *error =
        device + "a drive turning at " + rpm + " rpm cannot write a zone's sectors in one turn";
    return false;
  }
  return true;
}

bool LoadDisk(const DriveDescription& description, VirtualDrive& drive, std::string* error) {
  bool gcrDrive = description.model->kind != DriveKind::k1581;
  std::unique_ptr<Disk> disk;
  if (description.blankDisk) {
    disk = Disk::Blank(gcrDrive, description.model->kind == DriveKind::k1571);
  } else if (!description.imagePath.empty()) {
    if (IsMfmImage(description.imagePath) == gcrDrive) {
      *error = DoesNotFit(description);
      return false;
    }
    std::string why;
    disk = Disk::Load(description.imagePath, &why);
    if (disk == nullptr) {
      *error = "sim: device " + std::to_string(description.device) + ": " + why;
      return false;
    }
    if (disk->IsGcr() != gcrDrive) {
      *error = DoesNotFit(description);
      return false;
    }
  }
  if (description.writerRpm > 0.0 && !RewriteAtWriterSpeed(description, disk.get(), error)) {
    return false;
  }
  for (const auto& [track, sector] : description.weakSectors) {
    if (!HasSectorToWeaken(disk.get(), track, sector)) {
      *error = "sim: device " + std::to_string(description.device) + ": no sector " +
               std::to_string(track) + "/" + std::to_string(sector) + " on the disk to weaken";
      return false;
    }
    WeakenSector(*disk, track, sector);
  }
  if (disk == nullptr) return true;
  disk->writeProtected = description.writeProtected;
  drive.InsertDisk(std::move(disk), description.blankDisk ? "" : description.imagePath);
  return true;
}

}  // namespace

std::unique_ptr<VirtualBus> VirtualBus::FromDescription(const std::string& description, NowUs nowUs,
                                                        std::string* error) {
  std::vector<DriveDescription> drives;
  if (!ParseBusDescription(description, &drives, error)) return nullptr;
  auto bus = std::make_unique<VirtualBus>(std::move(nowUs));
  for (const DriveDescription& drive : drives) {
    VirtualDrive* added =
        bus->AddDrive(drive.device, *drive.model, drive.fastSerialDriver, drive.rpm);
    if (!LoadDisk(drive, *added, error)) return nullptr;
    if (drive.starts1571Mode) added->SetStartsIn1571Mode(true);
    if (drive.poweredOff) added->SetPower(false);
    if (drive.steadySpeed) added->mechanics().SetSpeedJitterTicks(0);
    if (drive.driftPercent > 0) added->SetSpeedDrift(drive.driftPercent, drive.driftPeriodUs);
  }
  return bus;
}

}  // namespace sim
