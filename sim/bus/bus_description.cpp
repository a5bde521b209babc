#include "sim/bus/bus_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "sim/bus/adapter.h"

namespace sim {

namespace {

constexpr double kSlowestRpm = 200.0;
constexpr double kFastestRpm = 400.0;

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

bool ParseRpm(std::string_view text, double* rpm) {
  if (text.size() > 3 && EqualsIgnoringCase(text.substr(text.size() - 3), "rpm")) {
    text.remove_suffix(3);
  }
  std::string number(text);
  char* end = nullptr;
  *rpm = std::strtod(number.c_str(), &end);
  return !number.empty() && end == number.c_str() + number.size() && *rpm >= kSlowestRpm &&
         *rpm <= kFastestRpm;
}

// MODEL[+][@RPM] into the description.
bool ParseDrive(std::string_view text, DriveDescription* drive, std::string* error) {
  std::string_view speed;
  bool hasSpeed = false;
  if (size_t at = text.find('@'); at != std::string_view::npos) {
    hasSpeed = true;
    speed = text.substr(at + 1);
    text = text.substr(0, at);
  }
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
  if (hasSpeed && !ParseRpm(speed, &drive->rpm)) {
    *error = "bad disk speed \"@" + std::string(speed) + "\" (e.g. @310rpm, 200 to 400)";
    return false;
  }
  return true;
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
