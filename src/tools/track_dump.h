#pragma once
// One raw GCR track read from a 1541-family drive, a 1570 or a 1571 and shown for inspection:
// each sector decoded byte by byte in the log with its sync marks, the track's capacity and
// bit-rate zone, and every raw byte in the "Track GCR" pane with the header starts marked.

#include "core/program.h"

namespace dw {

void DumpTrack(Program& p);

}  // namespace dw
