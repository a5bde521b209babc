#pragma once
// One run of the command-line program: the program-wide state on the terminal desk, the
// connection to the drive the call names, and each menu command run through the window's own
// DispatchCommand, with the exit status taken from how it ended.

#include <string>

#include "cli/call.h"
#include "cli/link_ports.h"
#include "cli/terminal_desk.h"
#include "core/program.h"

namespace dw::cli {

struct Session {
  const Call& call;
  TerminalDesk& desk;
  LinkPorts& ports;
  Program& program;
};

// Finds the adapter, scans the bus and selects the drive of --drive (or the first one).
// kExitDone, or kExitLinkFailed after saying why.
int ConnectToDrive(Session& s);

// Runs the menu command `id` as the window's main loop does and tells how it ended. A command
// ended by Ctrl+C is followed by the reconnection the window makes after RESET, which resets
// the bus and leaves the drive without the program's drive code.
int RunMenuCommand(Session& s, int id);

// The reconnection the window makes after RESET: the bus is reset and the drive left without
// the program's drive code.
void ReconnectAfterAbort(Session& s);

// The exit status for the state the last command left: the link first, then the drive.
int ExitStatusOf(Session& s);

// Tells a failure on standard error: with --quiet the command's log, which was not shown.
void ReportFailure(Session& s, int status);

}  // namespace dw::cli
