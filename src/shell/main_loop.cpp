#include "shell/main_loop.h"

#include <string>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/create_image.h"
#include "disk/directory.h"
#include "disk/format_disk.h"
#include "disk/prg_restore.h"
#include "gcr/codec.h"
#include "gcr/hex_gcr_converter.h"
#include "gcr/tools/rom_dump.h"
#include "gcr/tools/rpm_check.h"
#include "gcr/tools/track_dump.h"
#include "link/connect.h"
#include "link/detect.h"
#include "link/dos_command.h"
#include "link/exchange.h"
#include "shell/info.h"
#include "shell/restore_from_file.h"

namespace dw {

namespace {

constexpr int kFirstCommandButton = kCmdDirectory;
constexpr int kLastCommandButton = kCmdDosCommand;

void ToggleCheckMark(Program& p, int id, bool& mark, const std::string& what) {
  mark = !mark;
  p.desk.SetChecked(id, mark);
  LogLine(p, what + (mark ? " enabled" : " disabled"));
}

void RunCommand(Program& p, int id) {
  switch (id) {
    case kCmdDirectory:
      ShowDirectory(p);
      break;
    case kCmdCreateImage:
      ShowDirectory(p);
      CreateDiskImage(p);
      break;
    case kCmdRestoreImage:
      ShowDirectory(p);
      RestoreFromFile(p);
      // A new listing would clear the IEC error of a restore that failed on the way.
      if (p.DosErrorFlag == 0 && p.LinkState == 0) ShowDirectory(p);
      break;
    case kCmdVerifyImage:
      VerifyFromFile(p);
      break;
    case kCmdDosCommand:
      SendDosCommand(p);
      break;
    case kCmdFastFormat:
      FormatDisk(p);
      break;
    case kDirectoryListId:
      DownloadPrg(p);
      break;
    case kCmdRpmCheck:
      CheckRpm(p, kRpmCheckCount);
      break;
    case kCmdRpmAdjust:
      CheckRpm(p, kRpmAdjustCount);
      break;
    case kCmdDumpRom:
      DumpRom(p);
      break;
    case kCmdDumpTrack:
      DumpTrack(p);
      break;
    case kCmdGcrToHex:
      ConvertGcrToHex(p);
      break;
    case kCmdHexToGcr:
      ConvertHexToGcr(p);
      break;
    case kCmdFortyTracks:
      ToggleCheckMark(p, id, p.FortyTracksMark, "40 tracks");
      break;
    case kCmdImageErrors:
      ToggleCheckMark(p, id, p.ImageErrorsMark, "Image errors");
      break;
    case kCmdErrorInfo:
      ShowErrorInfo(p);
      break;
    case kCmdAbout:
      ShowAbout(p);
      break;
    case kCmdQuit:
      ShutDown(p);
    default:
      break;
  }
}

void DiscardPendingEvents(Program& p) {
  while (p.desk.TakeEvent()) {
  }
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

void StartUp(Program& p) {
  p.FortyTracks = false;
  p.RevolutionTimeUs = 200000;
  p.desk.SetDevicesEnabled(false);
  FillGcrTables(p);
}

void DispatchCommand(Program& p, int id) {
  DetectDriveModel(p);
  int selected = p.desk.SelectedDevice();
  if (selected >= 0) {
    std::string item = p.desk.DeviceText(selected);
    if (item.find(p.DriveModelName) == std::string::npos) {
      p.desk.SetDeviceText(selected, std::to_string(p.CurrentDevice) + ": " + p.DriveModelName);
    }
  }
  p.desk.SetCommandButtonsEnabled(false);
  if (p.LinkState == 0) {
    p.desk.SetCommandButtonEnabled(id, true);
    RunCommand(p, id);
  }
  ShowProgress(p, 0, 0, 100);
  LogLine(p, p.LinkState == 0 ? "-- done --" : "-- aborted --");
  if (id >= kFirstCommandButton && id <= kLastCommandButton) p.desk.ReleaseCommandButton(id);
  p.desk.SetCommandButtonsEnabled(true);
}

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
          DispatchCommand(p, event->id);
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
