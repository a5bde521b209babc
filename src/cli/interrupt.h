#pragma once
// Ctrl+C in the terminal: the user's RESET. The handler only counts; the desk turns the count
// into the RESET toggle's state, which the exchange wait reads between two polls of the port.

namespace dw::cli {

// Installs the handler for SIGINT (and SIGTERM). A third Ctrl+C ends the process at once,
// for a program stuck where nothing reads the toggle.
void InstallInterruptHandler();

// How many times Ctrl+C was pressed since the start.
int InterruptCount();

}  // namespace dw::cli
