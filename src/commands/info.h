#pragma once
#include "core/program.h"

namespace dw {

void ShowErrorInfo(Program& p);
void ShowAbout(Program& p);

}  // namespace dw
