// Building a virtual bus from its description.

#include <cctype>

#include "sim/bus/bus_description.h"
#include "sim/bus/virtual_bus.h"

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
