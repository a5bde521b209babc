#pragma once
#include "core/program.h"

namespace dw {

// Closes the link port, releases the window and ends the program: throws ProgramEnded, which
// the main loop catches. Any wait of the program may end it (the window's close request).
[[noreturn]] void ShutDown(Program& p);

}  // namespace dw
