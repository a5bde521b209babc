#pragma once
#include "commands/dispatch.h"
#include "core/program.h"

namespace dw {

// The single main loop: connects when needed, waits for window events and dispatches them.
// Returns when the program ends (Quit, the window's close request, no adapter).
void RunMainLoop(Program& p);

}  // namespace dw
