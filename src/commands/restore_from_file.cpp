#include "commands/restore_from_file.h"

#include <algorithm>
#include <array>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/listing_facts.h"
#include "disk/petscii.h"
#include "disk/prg_restore.h"
#include "disk/restore_image.h"
#include "link/detect.h"
#include "link/status_text.h"
#include "platform/pc_file.h"
#include "tools/g64_restore.h"

namespace dw {

namespace {

// Routes by drive family: 0 1541 family, 1 1570, 2 1571, 3 1581, 4 unknown.
constexpr std::array<RestoreChoice, 5> kG64Routes{{
    {RestoreRoute::kG64, true},
    {RestoreRoute::kG64, false},
    {RestoreRoute::kG64, false},
    {RestoreRoute::kNotFor1581, false},
    {RestoreRoute::kUnknownDrive, false},
}};
constexpr std::array<RestoreChoice, 5> kImageRoutes{{
    {RestoreRoute::kImage, true},
    {RestoreRoute::kImage, false},
    {RestoreRoute::kImage, false},
    {RestoreRoute::kImage1581, false},
    {RestoreRoute::kUnknownDrive, false},
}};

bool WritesWholeDisk(RestoreRoute route) {
  return route == RestoreRoute::kG64 || route == RestoreRoute::kImage ||
         route == RestoreRoute::kImage1581;
}

// A whole-disk restore leaves nothing of what was on the disk. The listing the command showed
// first names the disk; a blank disk, or one without files, has nothing to lose.
bool MayOverwriteDisk(Program& p) {
  const std::optional<ListedDisk> disk = ListedDiskOf(p);
  if (!disk || disk->files == 0) return true;
  const std::string files = std::to_string(disk->files) + (disk->files == 1 ? " file" : " files");
  // The box shows plain text: PETSCII bytes above $7F would come out as Latin-1 letters.
  const std::string text = "Overwrite \"" + PetsciiAscii(disk->name) + "\" (ID " +
                           PetsciiAscii(disk->id) + ", " + files + ") in drive " +
                           std::to_string(p.CurrentDevice) + "?";
  return p.desk.ShowMessage({kOverwriteDiskCaption, text, MessageIcon::kWarning,
                             MessageButtons::kYesNo, MessageAnswer::kNo}) == MessageAnswer::kYes;
}

}  // namespace

RestoreChoice ChooseRestoreRoute(uint8_t driveFamily, const std::string& path) {
  std::string extension = UpperExtension(path);
  if (extension == "PRG") return {RestoreRoute::kPrg, false};
  size_t family = std::min<size_t>(driveFamily, kFamilyUnknown);
  return extension == "G64" ? kG64Routes[family] : kImageRoutes[family];
}

void RestoreFromFile(Program& p) {
  std::string path = SelectImageFile(p, false, 0, std::string());
  if (path.empty()) return;
  RestoreChoice choice = ChooseRestoreRoute(p.DriveFamily, path);
  if (choice.needsFastSerial && !RequireFastSerialDriver(p)) return;
  if (WritesWholeDisk(choice.route) && !MayOverwriteDisk(p)) {
    LogLine(p, std::string(kRestoreCanceled));
    return;
  }
  switch (choice.route) {
    case RestoreRoute::kPrg:
      RestorePrg(p, path);
      break;
    case RestoreRoute::kG64:
      RestoreG64Image(p, path);
      break;
    case RestoreRoute::kImage:
      RestoreDiskImage(p, path);
      break;
    case RestoreRoute::kImage1581:
      RestoreDiskImage1581(p, path);
      break;
    case RestoreRoute::kNotFor1581:
      LogLine(p, "NOT APPLICABLE TO 1581");
      break;
    case RestoreRoute::kUnknownDrive:
      RequireKnownDriveModel(p);
      break;
  }
}

}  // namespace dw
