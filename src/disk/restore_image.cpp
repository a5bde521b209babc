#include "disk/restore_image.h"

namespace dw {

// Not built yet: the image restore routes end here without touching the drive.
void RestoreDiskImage(Program&, const std::string&) {}
void RestoreDiskImage1581(Program&, const std::string&) {}

}  // namespace dw
