#include "shell/main_loop.h"

#include <optional>
#include <string>

#include "core/log.h"
#include "link/connect.h"
#include "link/detect.h"
#include "link/exchange.h"

namespace dw {

namespace {

void DiscardPendingEvents(Program& p) {
  while (p.desk.TakeEvent()) {
  }
}

// The kept log outlives the pane, which every reconnection empties; its folder is shown without
// a word to the drive, which may be the thing that failed.
void ShowLogFolder(Program& p) {
  if (p.KeptLog == nullptr) return;
  LogLine(p, "Log file: " + p.KeptLog->PathFor(p.clock.Now()));
  const std::string folder = p.KeptLog->folder();
  if (!p.desk.OpenFolder(folder)) LogLine(p, "No program could show the folder " + folder);
}

void HandleControlEvent(Program& p, const DeskEvent& event) {
  p.desk.SetDevicesEnabled(false);
  switch (event.kind) {
    case EventKind::kResetButton:
      p.desk.ReleaseReset();
      p.LinkState = kLinkAborted;
      break;
    case EventKind::kDirectoryDoubleClick:
      DispatchCommand(p, kDirectoryListId);
      break;
    case EventKind::kDeviceSelected: {
      p.desk.ClearDirectory();
      int index = p.desk.SelectedDevice();
      std::string item = index >= 0 ? p.desk.DeviceText(index) : std::string();
      p.CurrentDevice = DeviceNumberOf(item);
      CloseChannel(p, 15);
      LogLine(p, "Device " + item + " Drive selected");
      DetectDriveModel(p);
      ReadErrorChannel(p);
      p.RevolutionTimeUs = 200000;
      break;
    }
    default:
      break;
  }
  p.desk.SetDevicesEnabled(true);
}

}  // namespace

void RunMainLoop(Program& p) {
  try {
    for (;;) {
      if (p.LinkState >= kLinkTimeout || p.desk.DeviceCount() == 0) {
        ConnectDrives(p);
        LogLine(p, "Welcome Diskwright user");
        DiscardPendingEvents(p);
      }
      p.LinkState = 0;
      std::optional<DeskEvent> event = p.desk.WaitIdle();
      if (!event) continue;
      switch (event->kind) {
        case EventKind::kCommand:
          if (event->id == kCmdOpenLogFolder) {
            ShowLogFolder(p);
          } else {
            DispatchCommand(p, event->id);
          }
          break;
        case EventKind::kCloseRequest:
          ShutDown(p);
        default:
          HandleControlEvent(p, *event);
          break;
      }
    }
  } catch (const ProgramEnded&) {
  }
}

}  // namespace dw
