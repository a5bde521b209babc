#include "cli/session.h"

#include <array>
#include <string_view>
#include <vector>

#include "commands/dispatch.h"
#include "commands/restore_from_file.h"
#include "core/log.h"
#include "link/connect.h"
#include "link/exchange.h"

namespace dw::cli {

namespace {

// ConnectDrives waits about 1.5 s between two scans of the bus; after one such wait without a
// drive answering the terminal gives up.
constexpr int kConnectGiveUpMs = 1500;

// What the commands log when they refuse to work on this drive; the window still closes them
// with "-- done --", but nothing was done.
constexpr std::array<std::string_view, 3> kRefusals = {
    "NOT APPLICABLE TO 1581",
    "Not supported without 6522 Fast Serial Driver!",
    kRestoreCanceled,
};

bool CommandRefused(const std::vector<std::string>& log) {
  for (const std::string& line : log) {
    for (std::string_view refusal : kRefusals) {
      if (line.size() >= refusal.size() &&
          line.compare(line.size() - refusal.size(), refusal.size(), refusal) == 0) {
        return true;
      }
    }
  }
  return false;
}

bool Connect(Session& s) {
  s.desk.SetConnecting(true, kConnectGiveUpMs);
  bool connected = true;
  try {
    ConnectDrives(s.program);
  } catch (const ProgramEnded&) {
    connected = false;
  }
  s.desk.SetConnecting(false, 0);
  return connected;
}

int SelectDrive(Session& s) {
  const int count = s.desk.DeviceCount();
  int index = 0;
  if (s.call.drive != 0) {
    index = -1;
    for (int i = 0; i < count; ++i) {
      if (DeviceNumberOf(s.desk.DeviceText(i)) == s.call.drive) index = i;
    }
  }
  if (index < 0) {
    std::string found;
    for (const std::string& device : s.desk.devices())
      found += (found.empty() ? "" : ", ") + device;
    s.desk.PrintError("diskwright-cli: drive " + std::to_string(s.call.drive) +
                      " does not answer (found: " + found + ")");
    return kExitLinkFailed;
  }
  if (index > 0) {
    // As a new selection in the window's device selector.
    Program& p = s.program;
    s.desk.SelectDevice(index);
    const std::string item = s.desk.DeviceText(index);
    p.CurrentDevice = DeviceNumberOf(item);
    CloseChannel(p, 15);
    LogLine(p, "Device " + item + " Drive selected");
    ReadErrorChannel(p);
  }
  return kExitDone;
}

}  // namespace

int ConnectToDrive(Session& s) {
  s.desk.BeginCommand();
  if (!Connect(s)) {
    // The adapter's absence has been told by its box.
    if (!s.desk.problemShown()) {
      s.desk.PrintError(s.desk.interrupted()
                            ? "diskwright-cli: aborted"
                            : "diskwright-cli: no drive answers (switched off or not connected)");
    }
    ReportFailure(s, kExitLinkFailed);
    return kExitLinkFailed;
  }
  LogLine(s.program, "Welcome Diskwright user");
  return SelectDrive(s);
}

int RunMenuCommand(Session& s, int id) {
  Program& p = s.program;
  s.desk.BeginCommand();
  p.LinkState = 0;
  int status = kExitLinkFailed;
  try {
    DispatchCommand(p, id);
    status = ExitStatusOf(s);
  } catch (const ProgramEnded&) {
  }
  ReportFailure(s, status);
  if ((p.LinkState & kLinkAborted) != 0) {
    s.desk.PrintError("diskwright-cli: aborted; resetting the bus");
    ReconnectAfterAbort(s);
  }
  return status;
}

void ReconnectAfterAbort(Session& s) {
  Connect(s);
}

int ExitStatusOf(Session& s) {
  const Program& p = s.program;
  if (p.LinkState >= kLinkTimeout) return kExitLinkFailed;
  if (p.LinkState != 0 || p.DosErrorFlag != 0 || s.desk.problemShown() ||
      s.desk.requesterCancelled() || CommandRefused(s.desk.commandLog())) {
    return kExitDriveError;
  }
  return kExitDone;
}

void ReportFailure(Session& s, int status) {
  if (status == kExitDone || !s.call.quiet) return;
  for (const std::string& line : s.desk.commandLog()) s.desk.PrintError(line);
}

}  // namespace dw::cli
