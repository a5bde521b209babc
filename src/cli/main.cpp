// diskwright-cli: the program's commands from a terminal, for scripts and batch archiving. It
// runs the same procedures as the window, with a terminal desk in place of the window.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/call.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_ports.h"
#include "cli/session.h"
#include "cli/terminal_desk.h"
#include "commands/dispatch.h"
#include "core/program.h"
#include "platform/system_clock.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  using namespace dw::cli;
  std::string error;
  std::optional<Call> call = ParseCall(argc, argv, &error);
  if (!call) {
    std::fprintf(stderr, "diskwright-cli: %s\n", error.c_str());
    return kExitWrongCall;
  }
  if (call->help) {
    std::fputs(UsageText(call->command).c_str(), stdout);
    return kExitDone;
  }
  if (call->version) {
    std::fputs(VersionText().c_str(), stdout);
    return kExitDone;
  }

  std::unique_ptr<dw::Clock> clock;
  if (call->virtualTime) {
    clock = std::make_unique<dw::VirtualClock>();
  } else {
    clock = std::make_unique<dw::SystemClock>();
  }
  std::sort(call->diskChanges.begin(), call->diskChanges.end(),
            [](const DiskChange& a, const DiskChange& b) { return a.atUs < b.atUs; });
  TerminalDesk desk(*clock, call->quiet);
  if (const int terminal = dw::StandardInputTerminal(); terminal >= 0) desk.AskAt(terminal);
  // Declared before the program: the virtual buses outlive the port the program holds.
  LinkPorts ports(*clock, call->port, call->diskChanges, call->busFaults);
  dw::Program program(desk, *clock, ports);
  std::optional<dw::LogFile> keptLog;
  if (!call->logPath.empty()) {
    keptLog = dw::LogFile::Single(call->logPath);
    program.KeptLog = &*keptLog;
  }
  dw::StartUp(program);
  InstallInterruptHandler();

  Session session{*call, desk, ports, program};
  int status = ConnectToDrive(session);
  if (status == kExitDone) status = RunCommandOfCall(session);
  program.LinkPort.reset();
  desk.Close();
  // The log was shown; only the file of it is missing, which the user asked for.
  if (program.KeptLogFailed) {
    std::fprintf(stderr, "diskwright-cli: --log: %s\n", keptLog->error().c_str());
  }
  if (WritesTheDisk(*call) && !ports.SaveVirtualDisks(&error)) {
    std::fprintf(stderr, "diskwright-cli: %s\n", error.c_str());
    status = std::max(status, kExitDriveError);
  }
  return status;
}
