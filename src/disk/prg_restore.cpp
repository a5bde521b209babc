#include "disk/prg_restore.h"

namespace dw {

void RestorePrg(Program&, const std::string&) {}
void VerifyFromFile(Program&) {}

}  // namespace dw
