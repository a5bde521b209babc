#include "sim/bus/bus_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "sim/bus/adapter.h"

namespace sim {

namespace {

constexpr double kSlowestRpm = 200.0;
constexpr double kFastestRpm = 400.0;
// A drift's period: from a second to an hour.
constexpr double kShortestDriftPeriodS = 1.0;
constexpr double kLongestDriftPeriodS = 3600.0;
constexpr double kUsPerSecond = 1e6;
// The option that gives the speed of the drive that wrote the image's tracks.
constexpr std::string_view kWrittenAt = "written@";
constexpr std::string_view kWeakAt = "weak@";

// "T/S" of :weak@T/S.
bool ParseTrackSector(std::string_view text, std::array<int, 2>* place) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) return false;
  const std::string_view track = text.substr(0, slash);
  const std::string_view sector = text.substr(slash + 1);
  auto [trackEnd, trackStatus] =
      std::from_chars(track.data(), track.data() + track.size(), (*place)[0]);
  auto [sectorEnd, sectorStatus] =
      std::from_chars(sector.data(), sector.data() + sector.size(), (*place)[1]);
  return !track.empty() && !sector.empty() && trackStatus == std::errc() &&
         sectorStatus == std::errc() && trackEnd == track.data() + track.size() &&
         sectorEnd == sector.data() + sector.size();
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The text before the first `mark` and, when there is one, the text after it.
struct Cut {
  std::string_view before;
  std::string_view after;
  bool found = false;
};

Cut CutAt(std::string_view text, char mark) {
  const size_t at = text.find(mark);
  if (at == std::string_view::npos) return {text, {}, false};
  return {text.substr(0, at), text.substr(at + 1), true};
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string KnownModels() {
  std::string names;
  for (const DriveModel& model : DriveModels()) {
    names += (names.empty() ? "" : ", ") + std::string(model.name);
  }
  return names;
}

bool ParseDevice(std::string_view text, int* device) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *device);
  return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

// A number that is the whole text, with an optional unit after it (any case).
bool ParseNumber(std::string_view text, std::string_view unit, double* value) {
  if (text.size() > unit.size() &&
      EqualsIgnoringCase(text.substr(text.size() - unit.size()), unit)) {
    text.remove_suffix(unit.size());
  }
  std::string number(text);
  char* end = nullptr;
  *value = std::strtod(number.c_str(), &end);
  return !number.empty() && end == number.c_str() + number.size() && std::isfinite(*value);
}

bool ParseRpm(std::string_view text, double* rpm) {
  // Without a number the drive keeps the default speed (a drift may follow the "@").
  if (text.empty()) return true;
  return ParseNumber(text, "rpm", rpm) && *rpm >= kSlowestRpm && *rpm <= kFastestRpm;
}

// D[/S[s]]: the drift in percent and its period in seconds.
bool ParseDrift(std::string_view text, DriveDescription* drive) {
  const Cut period = CutAt(text, '/');
  if (period.found) {
    double seconds = 0;
    if (!ParseNumber(period.after, "s", &seconds) || seconds < kShortestDriftPeriodS ||
        seconds > kLongestDriftPeriodS) {
      return false;
    }
    drive->driftPeriodUs = static_cast<int64_t>(std::llround(seconds * kUsPerSecond));
  }
  return ParseNumber(period.before, "", &drive->driftPercent) && drive->driftPercent > 0 &&
         drive->driftPercent <= kMaxDriftPercent;
}

// RPM[rpm][~DRIFT] after the "@".
bool ParseSpeed(std::string_view text, DriveDescription* drive, std::string* error) {
  const Cut drift = CutAt(text, '~');
  if (!ParseRpm(drift.before, &drive->rpm) || (!drift.found && drift.before.empty())) {
    *error = "bad disk speed \"@" + std::string(drift.before) + "\" (e.g. @310rpm, 200 to 400)";
    return false;
  }
  if (drift.found && !ParseDrift(drift.after, drive)) {
    *error = "bad speed drift \"~" + std::string(drift.after) +
             "\" (e.g. ~0.4 or ~0.25/6s: more than 0 and at most 3 percent, a period of 1 to "
             "3600 s)";
    return false;
  }
  return true;
}

// MODEL[+][@RPM[~DRIFT]] into the description.
bool ParseDrive(std::string_view text, DriveDescription* drive, std::string* error) {
  const Cut speed = CutAt(text, '@');
  text = speed.before;
  if (!text.empty() && text.back() == '+') {
    drive->fastSerialDriver = true;
    text.remove_suffix(1);
  }
  drive->model = FindDriveModel(text);
  if (drive->model == nullptr) {
    *error = "unknown drive model \"" + std::string(text) + "\" (known: " + KnownModels() + ")";
    return false;
  }
  if (drive->fastSerialDriver && !drive->model->board.hasVias) {
    *error = "the " + std::string(drive->model->name) + " has no 6522 for a fast serial driver";
    return false;
  }
  return !speed.found || ParseSpeed(speed.after, drive, error);
}

bool ParseEntry(std::string_view entry, DriveDescription* drive, std::string* error) {
  size_t equals = entry.find('=');
  if (equals == std::string_view::npos) {
    *error = "\"" + std::string(entry) + "\": expected DEVICE=MODEL, e.g. 8=1541-II";
    return false;
  }
  std::string_view deviceText = Trim(entry.substr(0, equals));
  if (!ParseDevice(deviceText, &drive->device) || drive->device < kFirstDevice ||
      drive->device > kLastDevice) {
    *error = "device \"" + std::string(deviceText) + "\": devices are 8 to 11";
    return false;
  }
  std::vector<std::string_view> parts = Split(entry.substr(equals + 1), ':');
  if (!ParseDrive(Trim(parts.front()), drive, error)) {
    *error = "device " + std::to_string(drive->device) + ": " + *error;
    return false;
  }
  parts.erase(parts.begin());
  // Options come last; what stays is the image path, which may itself hold colons.
  while (!parts.empty()) {
    std::string_view option = Trim(parts.back());
    if (EqualsIgnoringCase(option, "wp")) {
      drive->writeProtected = true;
    } else if (EqualsIgnoringCase(option, "off")) {
      drive->poweredOff = true;
    } else if (EqualsIgnoringCase(option, "steady")) {
      drive->steadySpeed = true;
    } else if (EqualsIgnoringCase(option, "1571mode")) {
      drive->starts1571Mode = true;
    } else if (EqualsIgnoringCase(option.substr(0, kWrittenAt.size()), kWrittenAt)) {
      if (!ParseRpm(option.substr(kWrittenAt.size()), &drive->writerRpm) ||
          drive->writerRpm == 0.0) {
        *error = "device " + std::to_string(drive->device) + ": bad writing speed \"" +
                 std::string(option) + "\" (e.g. written@294rpm, 200 to 400)";
        return false;
      }
    } else if (EqualsIgnoringCase(option.substr(0, kWeakAt.size()), kWeakAt)) {
      std::array<int, 2> place{};
      if (!ParseTrackSector(option.substr(kWeakAt.size()), &place)) {
        *error = "device " + std::to_string(drive->device) + ": bad weak sector \"" +
                 std::string(option) + "\" (e.g. weak@12/4: track 12, sector 4)";
        return false;
      }
      drive->weakSectors.push_back(place);
    } else {
      break;
    }
    parts.pop_back();
  }
  std::string path;
  for (size_t i = 0; i < parts.size(); ++i) path += (i > 0 ? ":" : "") + std::string(parts[i]);
  path = std::string(Trim(path));
  if (EqualsIgnoringCase(path, kBlankDisk)) {
    drive->blankDisk = true;
  } else {
    drive->imagePath = path;
  }
  if (drive->writeProtected && path.empty()) {
    *error = "device " + std::to_string(drive->device) + ": \":wp\" needs a disk";
    return false;
  }
  if (drive->starts1571Mode && drive->model->kind != DriveKind::k1571) {
    *error = "device " + std::to_string(drive->device) + ": \":1571mode\" is for a 1571, not a " +
             std::string(drive->model->name);
    return false;
  }
  return true;
}

}  // namespace

bool ParseBusDescription(std::string_view text, std::vector<DriveDescription>* drives,
                         std::string* error) {
  drives->clear();
  text = Trim(text);
  if (text.substr(0, kBusPrefix.size()) == kBusPrefix) text.remove_prefix(kBusPrefix.size());
  if (Trim(text).empty()) return true;
  for (std::string_view entry : Split(text, ',')) {
    DriveDescription drive;
    if (!ParseEntry(Trim(entry), &drive, error)) {
      *error = "sim: " + *error;
      return false;
    }
    for (const DriveDescription& other : *drives) {
      if (other.device == drive.device) {
        *error = "sim: device " + std::to_string(drive.device) + " is described twice";
        return false;
      }
    }
    drives->push_back(std::move(drive));
  }
  return true;
}

}  // namespace sim
