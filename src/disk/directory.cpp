#include "disk/directory.h"

namespace dw {

void ShowDirectory(Program&) {}
void DownloadPrg(Program&) {}

}  // namespace dw
