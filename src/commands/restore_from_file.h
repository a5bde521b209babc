#pragma once
// The Restore command's routing: a file picked by the user goes to the restore that fits its
// extension and the drive.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/program.h"

namespace dw {

// The Restore command: picks a file and restores it by its extension and the drive family. A
// disk image or G64 over a disk whose listing shows files is written only when the user says
// so to the question captioned kOverwriteDiskCaption.
void RestoreFromFile(Program& p);

inline constexpr const char* kOverwriteDiskCaption = "Overwrite disk";
// Logged when the user keeps the disk: nothing was written.
inline constexpr std::string_view kRestoreCanceled = "Restore canceled";

// Where the Restore command sends a file.
enum class RestoreRoute {
  kPrg,           // RestorePrg, any drive
  kG64,           // RestoreG64Image
  kImage,         // RestoreDiskImage (D64, D71 or any other extension)
  kImage1581,     // RestoreDiskImage1581
  kNotFor1581,    // a G64 file and a 1581: refused with a log line
  kUnknownDrive,  // an image of any kind and a drive of no known model: refused
};
struct RestoreChoice {
  RestoreRoute route = RestoreRoute::kUnknownDrive;
  // A 1541-family drive needs the 6522 fast serial driver for this route.
  bool needsFastSerial = false;
};
RestoreChoice ChooseRestoreRoute(uint8_t driveFamily, const std::string& path);

}  // namespace dw
