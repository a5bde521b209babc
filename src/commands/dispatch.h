#pragma once
// The command table both front ends share: the window's menu items and buttons and the
// command-line program's commands run through DispatchCommand.

#include "core/program.h"
#include "core/shutdown.h"

namespace dw {

// Start-up steps that need no window: the start values and the GCR tables.
void StartUp(Program& p);

// Runs the command with menu/button id `id` (or the download for the directory list).
void DispatchCommand(Program& p, int id);

}  // namespace dw
