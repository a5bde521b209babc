#include "disk/format_disk.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/job_codes.h"
#include "core/log.h"
#include "disk/build_track.h"
#include "disk/directory.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "disk/track_fit.h"
#include "disk/write_check.h"
#include "disk/write_preparation.h"
#include "disk/write_verify.h"
#include "link/controller_job.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr size_t kAnswerLength = 19;
constexpr int kFormatTracks = 35;
constexpr uint8_t kFormatTypeMismatch = 73;
constexpr char kExpectedForm[] =
    "enter NAME,ID: a name of up to 16 characters, a comma and an ID of 2, 19 at most";

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

std::string IdOf(const std::string& afterComma) {
  return TrimBlanks(afterComma).substr(0, 2);
}

// The ID's first and last character (one character: both bytes).
void SetDiskIdFrom(Program& p, const std::string& afterComma) {
  const std::string id = IdOf(afterComma);
  p.DiskId[1] = id.empty() ? 0 : static_cast<uint8_t>(id.front());
  p.DiskId[2] = id.empty() ? 0 : static_cast<uint8_t>(id.back());
}

// The head-bump job moves the head to track 1 against the stop, so that the tracks are
// written where they belong whatever the head's position was.
void BumpHead(Program& p) {
  // No limit of its own: a link failure or an abort ends the wait.
  RunControllerJob(p, kControllerBumpJob, 1, 0);
}

void NameTheDisk(Program& p, const std::string& name) {
  IecString command = ToIecString("N:" + name);
  std::replace(command.begin(), command.end(), char16_t{0}, kIecZero);
  SendIecString(p, 15, command, false, 2);
  CloseChannel(p, 15);
  // A RESET or a reply that never came leaves the naming undone: the error channel would say
  // nothing, and the listing's open would clear the failure and end the command as done.
  if (p.LinkState != 0) return;
  ReadErrorChannel(p);
  if (p.DosErrorCode == kFormatTypeMismatch) LogLine(p, "Disk format type error: Type <> 'A'");
  if (p.DosErrorFlag == 0 && p.LinkState == 0) ShowDirectory(p);
}

// The 35 blank tracks, each fitted to the drive's turn and checked; false when one failed.
bool WriteBlankTracks(Program& p) {
  const std::optional<RevolutionWindow> turn = PrepareTrackWrites(p, kFormatTracks);
  if (!turn) return false;
  const bool verify = VerifyAfterWritingOn(p);
  std::vector<uint8_t> cells;
  std::vector<uint8_t> data;
  std::vector<WrittenTrack> writtenTracks;
  for (int track = 1; track <= kFormatTracks; ++track) {
    const int length = BuildGcrTrack(p, track, true, true, nullptr, &cells, &data);
    UploadBuiltTrack(p, FitTrackToRevolution(p, track, length, *turn));
    ShowStatusText(p, "Formatting Track: " + std::to_string(track));
    ShowProgress(p, track, 1, kFormatTracks);
    const uint8_t reply = DriveJob(p, 6, 2, track, 0, 0);
    if (!TrackWriteTook(p, track, reply, HeadersOfBuiltTrack(p, track, cells))) return false;
    ShowTrackOnMap(p, track, cells);
    if (verify) writtenTracks.push_back({track, 0, cells, data});
  }
  return !verify || VerifyWrittenTracks(p, writtenTracks);
}

}  // namespace

std::optional<std::string> FormatAnswerProblem(const std::string& answer) {
  const std::string quoted = "\"" + answer + "\"";
  if (answer.size() > kAnswerLength) {
    return "Not formatted: " + quoted + " is longer than 19 characters; " + kExpectedForm;
  }
  const size_t comma = answer.find(',');
  if (comma != std::string::npos && IdOf(answer.substr(comma + 1)).empty()) {
    return "Not formatted: " + quoted + " has no ID after the comma; " + kExpectedForm;
  }
  return std::nullopt;
}

void FormatDisk(Program& p) {
  if (!RequireKnownDriveModel(p)) return;
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  if (p.DriveFamily == kFamily1581) {
    LogLine(p, "NOT APPLICABLE TO 1581");
    return;
  }
  const std::optional<std::string> typed =
      p.desk.AskText({"Fast Format 35 Tracks (GCR)", "Enter [Diskname,ID]:", DefaultAnswer(p)});
  const std::string answer = typed.value_or(std::string());
  const size_t comma = answer.find(',');
  if (comma == std::string::npos) return;
  // A cut answer or an empty ID would give the disk an ID nobody typed.
  if (const std::optional<std::string> problem = FormatAnswerProblem(answer)) {
    LogLine(p, *problem);
    p.LinkState |= kLinkIecError;
    return;
  }
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
  // A disk whose tracks did not all take the write is no new disk: it gets no name, and the
  // listing's open would only wait out another failure.
  if (!WriteBlankTracks(p)) return;
  if (!name.empty()) NameTheDisk(p, name);
  if (p.LinkState == 0) {
    LogLine(p, "Formatted " + std::to_string(kFormatTracks) + " tracks on drive " +
                   std::to_string(p.CurrentDevice));
  }
}

}  // namespace dw
