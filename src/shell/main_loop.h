#pragma once
#include "core/program.h"
#include "core/shutdown.h"

namespace dw {

// Start-up steps that need no window: the start values and the GCR tables.
void StartUp(Program& p);

// The single main loop: connects when needed, waits for window events and dispatches them.
// Returns when the program ends (Quit, the window's close request, no adapter).
void RunMainLoop(Program& p);

// Runs the command with menu/button id `id` (or the download for the directory list).
void DispatchCommand(Program& p, int id);

}  // namespace dw
