#include "gcr/tools/g64_restore.h"

namespace dw {

// Not built yet: the G64 restore route ends here without touching the drive.
void RestoreG64Image(Program&, const std::string&) {}

}  // namespace dw
