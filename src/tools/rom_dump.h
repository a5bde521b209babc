#pragma once
// The selected drive's ROM copied into a PC file: the upper 16 KB of the address space of the
// 1541 family and the 1570, the upper 32 KB of a 1571 or 1581.

#include "core/program.h"

namespace dw {

void DumpRom(Program& p);

}  // namespace dw
