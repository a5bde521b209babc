#include "commands/dispatch.h"

#include <array>
#include <string>
#include <utility>

#include "commands/info.h"
#include "commands/restore_from_file.h"
#include "core/image_file.h"
#include "core/log.h"
#include "disk/create_image.h"
#include "disk/directory.h"
#include "disk/format_disk.h"
#include "disk/prg_restore.h"
#include "disk/track_retries.h"
#include "gcr/codec.h"
#include "gcr/hex_gcr_converter.h"
#include "link/detect.h"
#include "link/dos_command.h"
#include "link/exchange.h"
#include "tools/g64_create.h"
#include "tools/rom_dump.h"
#include "tools/rpm_check.h"
#include "tools/track_dump.h"

namespace dw {

namespace {

constexpr int kFirstCommandButton = kCmdDirectory;
constexpr int kLastCommandButton = kCmdDosCommand;

// The commands that draw a picture of the disk or the drive, named as their menu items are:
// the picture's caption says which one drew it.
constexpr std::array<std::pair<int, const char*>, 8> kPictureCommands{{
    {kCmdCreateImage, "Create disk image"},
    {kCmdCreateG64, "Create G64 image"},
    {kCmdRestoreImage, "Restore disk image"},
    {kCmdVerifyImage, "Verify disk image"},
    {kCmdFastFormat, "Fast Format"},
    {kCmdDumpTrack, "Dump track"},
    {kCmdRpmCheck, "RPM check"},
    {kCmdRpmAdjust, "RPM adjust"},
}};

std::string PictureCommandName(int id) {
  for (const auto& [command, name] : kPictureCommands) {
    if (command == id) return name;
  }
  return std::string();
}

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
    case kCmdCreateG64:
      ShowDirectory(p);
      CreateG64Image(p);
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
    case kCmdVerifyWrites:
      ToggleCheckMark(p, id, p.VerifyWritesMark, "Verify after writing");
      break;
    case kCmdRetryTracks:
      ToggleTrackRetries(p, id);
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
  // A drive chosen while the command runs would be dropped with the other events, leaving the
  // selector on a drive the program does not work on.
  p.desk.SetDevicesEnabled(false);
  if (p.LinkState == 0) {
    p.desk.SetCommandButtonEnabled(id, true);
    p.RunningCommand = PictureCommandName(id);
    RunCommand(p, id);
    p.RunningCommand.clear();
  }
  ShowProgress(p, 0, 0, 100);
  LogLine(p, p.LinkState == 0 ? "-- done --" : "-- aborted --");
  if (id >= kFirstCommandButton && id <= kLastCommandButton) p.desk.ReleaseCommandButton(id);
  p.desk.SetCommandButtonsEnabled(true);
  p.desk.SetDevicesEnabled(p.desk.DeviceCount() > 0);
}

}  // namespace dw
