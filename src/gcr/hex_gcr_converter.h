#pragma once
// Two calculators for people who work with raw GCR: a row of plain bytes shown as the GCR bytes
// they encode to, and a row of GCR bytes shown as the plain bytes they decode to. No drive is
// involved; the results go to the log.

#include "core/program.h"

namespace dw {

void ConvertHexToGcr(Program& p);
void ConvertGcrToHex(Program& p);

}  // namespace dw
