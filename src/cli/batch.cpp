#include "cli/batch.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "cli/commands.h"
#include "core/log.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "platform/pc_file.h"

namespace dw::cli {

namespace {

constexpr int kSensePollMs = 200;
// Once the sense is light again the disk is pushed home and its door closed.
constexpr int kDiskSettleMs = 1000;
constexpr char kGoodSectorCode = '1';

enum class DiskChangeSeen { kChanged, kStopped, kLinkFailed };

DiskChangeSeen WaitForDiskChange(Session& s) {
  Program& p = s.program;
  s.desk.PrintError("diskwright-cli: change the disk for the next image (Ctrl+C ends)");
  p.LinkState = 0;
  bool sawDark = false;
  for (;;) {
    const bool dark = DiskWriteProtected(p);
    if (p.LinkState != 0) {
      return (p.LinkState & kLinkAborted) != 0 ? DiskChangeSeen::kStopped
                                               : DiskChangeSeen::kLinkFailed;
    }
    if (dark) {
      sawDark = true;
    } else if (sawDark) {
      p.clock.SleepMs(kDiskSettleMs);
      return DiskChangeSeen::kChanged;
    }
    p.clock.SleepMs(kSensePollMs);
  }
}

struct BatchFile {
  std::string path;
  bool written = false;
  int badSectors = 0;
};

void PrintSummary(Session& s, const std::vector<BatchFile>& files) {
  s.desk.PrintResult("Summary: " + std::to_string(files.size()) + " disk(s)");
  for (const BatchFile& file : files) {
    s.desk.PrintResult(file.path + ": " +
                       (file.written ? std::to_string(file.badSectors) + " bad sector(s)"
                                     : std::string("not written")));
  }
}

}  // namespace

std::string NameForDisk(const std::string& pattern, int number) {
  const size_t percent = pattern.find('%');
  if (percent == std::string::npos) return std::string();
  size_t end = percent + 1;
  while (end < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[end]))) ++end;
  if (end >= pattern.size() || pattern[end] != 'd' || end - percent > 3) return std::string();
  if (pattern.find('%', end) != std::string::npos) return std::string();
  const std::string conversion = pattern.substr(percent, end - percent + 1);
  char text[32];
  std::snprintf(text, sizeof text, conversion.c_str(), number);
  return pattern.substr(0, percent) + text + pattern.substr(end + 1);
}

int CountBadSectors(const std::vector<std::string>& log) {
  int bad = 0;
  for (const std::string& line : log) {
    if (line.size() < kLogStampLength + 5 || line[kLogStampLength] != 'T') continue;
    const std::string_view rest = std::string_view(line).substr(kLogStampLength + 1);
    if (!std::isdigit(static_cast<unsigned char>(rest[0])) ||
        !std::isdigit(static_cast<unsigned char>(rest[1])) || rest[2] != ':') {
      continue;
    }
    for (char code : rest.substr(3)) {
      if (code == '<' || code == ' ') break;
      if (code != kGoodSectorCode) ++bad;
    }
  }
  return bad;
}

int CreateEachDisk(Session& s) {
  const std::string pattern = s.call.Option("--each-disk");
  Program& p = s.program;
  // The model of the drive the call chose: the scan of the bus left that of the last drive found.
  DetectDriveModel(p);
  if (p.LinkState >= kLinkTimeout) {
    ReportFailure(s, kExitLinkFailed);
    return kExitLinkFailed;
  }
  if (p.DriveFamily == kFamily1581 || p.DriveFamily == kFamilyUnknown) {
    s.desk.PrintError(
        "diskwright-cli: create: --each-disk sees disk changes by the write-protect "
        "sense of a 1541, 1570 or 1571, not of a " +
        p.DriveModelName);
    return kExitWrongCall;
  }
  if (!ImageTargetUsable(s, NameForDisk(pattern, 1))) return kExitWrongCall;
  const int limit = s.call.Has("--count") ? std::stoi(s.call.Option("--count")) : 0;
  std::vector<BatchFile> files;
  int status = kExitDone;
  for (int number = 1;; ++number) {
    BatchFile file{NameForDisk(pattern, number)};
    if (s.call.Has("--replace")) s.desk.AnswerQuestion("File already exists", MessageAnswer::kYes);
    s.desk.QueueFile(file.path);
    const int created = RunMenuCommand(s, kCmdCreateImage);
    file.written = created != kExitLinkFailed && !s.desk.requesterCancelled() &&
                   !s.desk.problemShown() && PcPathExists(file.path);
    file.badSectors = CountBadSectors(s.desk.commandLog());
    files.push_back(file);
    // A disk that could not be archived (the drive cannot make images, the file exists, the
    // PC's disk is full, the link failed) ends the batch: the next disks would fare no better.
    if (!file.written) {
      status = created == kExitDone ? kExitDriveError : created;
      break;
    }
    if (limit > 0 && number >= limit) break;
    const DiskChangeSeen change = WaitForDiskChange(s);
    if (change == DiskChangeSeen::kChanged) continue;
    if (change == DiskChangeSeen::kLinkFailed) {
      status = kExitLinkFailed;
    } else {
      // Ctrl+C between two disks is the way to end the batch; the bus is reset as after RESET.
      s.desk.PrintError("diskwright-cli: ended by Ctrl+C; resetting the bus");
      ReconnectAfterAbort(s);
    }
    break;
  }
  PrintSummary(s, files);
  return status;
}

}  // namespace dw::cli
