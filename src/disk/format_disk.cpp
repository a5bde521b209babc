#include "disk/format_disk.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <span>
#include <string>

#include "core/job_codes.h"
#include "core/log.h"
#include "disk/build_track.h"
#include "disk/directory.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr size_t kAnswerLength = 19;
constexpr int kFormatTracks = 35;
constexpr uint8_t kFormatTypeMismatch = 73;
// The drive's job queue: the first job's code at $0000, its track at $0006.
constexpr int kJobCodeAddress = 0x0000;
constexpr int kJobTrackAddress = 0x0006;
constexpr uint8_t kHeadBumpJob = 0xC0;
constexpr uint8_t kJobRunningAbove = 0x80;

std::string DefaultAnswer(Program& p) {
  const LocalTime now = p.clock.Now();
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", now.year % 10000, now.month % 100,
                now.day % 100);
  std::random_device entropy;
  std::uniform_int_distribution<int> letter('A', 'Z');
  std::string id{static_cast<char>(letter(entropy)), static_cast<char>(letter(entropy))};
  return std::string("DISK ") + date + "," + id;
}

std::string TrimBlanks(std::string text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// The ID's first and last character (one character: both bytes; none: zeros).
void SetDiskIdFrom(Program& p, const std::string& afterComma) {
  const std::string id = TrimBlanks(afterComma).substr(0, 2);
  p.DiskId[1] = id.empty() ? 0 : static_cast<uint8_t>(id.front());
  p.DiskId[2] = id.empty() ? 0 : static_cast<uint8_t>(id.back());
}

// The head-bump job moves the head to track 1 against the stop, so that the tracks are
// written where they belong whatever the head's position was.
void BumpHead(Program& p) {
  DriveJob(p, 2, kJobTrackAddress, 1, 0, 0);
  DriveJob(p, 2, kJobCodeAddress, kHeadBumpJob, 0, 0);
  // A link failure or an abort makes the job read return 0 and ends the wait.
  while (DriveJob(p, 1, kJobCodeAddress, 0, 0, 0) > kJobRunningAbove) {
  }
}

void NameTheDisk(Program& p, const std::string& name) {
  IecString command = ToIecString("N:" + name);
  std::replace(command.begin(), command.end(), char16_t{0}, kIecZero);
  SendIecString(p, 15, command, false, 2);
  CloseChannel(p, 15);
  ReadErrorChannel(p);
  if (p.DosErrorCode == kFormatTypeMismatch) LogLine(p, "Disk format type error: Type <> 'A'");
  if (p.DosErrorFlag == 0) ShowDirectory(p);
}

}  // namespace

void FormatDisk(Program& p) {
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  if (p.DriveFamily == kFamily1581) {
    LogLine(p, "NOT APPLICABLE TO 1581");
    return;
  }
  const std::optional<std::string> typed =
      p.desk.AskText({"Fast Format 35 Tracks (GCR)", "Enter [Diskname,ID]:", DefaultAnswer(p)});
  const std::string answer = typed ? typed->substr(0, kAnswerLength) : std::string();
  const size_t comma = answer.find(',');
  if (comma == std::string::npos) return;
  const std::string name = answer.substr(0, comma);
  LogLine(p, "Fast Format 35 Tracks (GCR)");
  LogLine(p, "\"" + answer + "\"");
  SetDiskIdFrom(p, answer.substr(comma + 1));

  StartSectorTransfer(p, kCodeTrackWrite, true);
  if (DiskWriteProtected(p)) {
    LogLine(p, StatusText(p, kJobWriteProtected, kJobCodeKind));
    p.DosErrorFlag = 1;
    // Nothing was formatted: the command must not end as if it had been.
    p.LinkState |= kLinkIecError;
    return;
  }
  if (p.LinkState != 0) return;
  BumpHead(p);
  BuildTrackTable(p);
  StartDiskMap(p, kFormatTracks);
  for (int track = 1; track <= kFormatTracks; ++track) {
    const int length = BuildGcrTrack(p, track, true, true, nullptr);
    UploadBuiltTrack(p, PadToRevolution(p, length, track));
    ShowStatusText(p, "Formatting Track: " + std::to_string(track));
    ShowProgress(p, track, 1, kFormatTracks);
    DriveJob(p, 6, 2, track, 0, 0);
    if (p.LinkState == 0) {
      ShowTrackOnMap(p, track,
                     SameCells(p.TrackTable[static_cast<size_t>(track)].sectorCount, kMapGood));
    }
  }
  // A link that failed on the tracks would only fail again (and the listing's open would
  // wait out another timeout).
  if (!name.empty() && p.LinkState == 0) NameTheDisk(p, name);
}

}  // namespace dw
