#include "sim/bus/faults.h"

#include <array>
#include <charconv>
#include <sstream>

namespace sim {

namespace {

struct FaultWord {
  FaultKind kind;
  std::string_view word;
  bool needsDevice;
  bool needsTrack = false;
};

constexpr std::array<FaultWord, 19> kFaultWords{{
    {FaultKind::kPowerOff, "poweroff", true},
    {FaultKind::kPowerOn, "poweron", true},
    {FaultKind::kUnplug, "unplug", false},
    {FaultKind::kReplug, "replug", false},
    {FaultKind::kEject, "eject", true},
    {FaultKind::kInsert, "insert", true},
    {FaultKind::kProtect, "protect", true},
    {FaultKind::kUnprotect, "unprotect", true},
    {FaultKind::kSilentReply, "silent", false},
    {FaultKind::kWrongEcho, "echo", false},
    {FaultKind::kOversizeReply, "oversize", false},
    {FaultKind::kJunkInInput, "junk", false},
    {FaultKind::kJunkAheadReply, "junkahead", false},
    {FaultKind::kUnformatTrack, "unformat", true, true},
    {FaultKind::kWrongRateTrack, "wrongrate", true, true},
    {FaultKind::kPullDuringJob, "pullout", true},
    {FaultKind::kCodeHang, "hangcode", true},
    {FaultKind::kMotorStop, "motorstop", true},
    {FaultKind::kMotorStart, "motorstart", true},
}};

bool ReadNumber(const std::string& text, int* number) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

const FaultWord& Entry(FaultKind kind) {
  for (const FaultWord& entry : kFaultWords) {
    if (entry.kind == kind) return entry;
  }
  return kFaultWords[0];
}

}  // namespace

bool FaultNeedsDevice(FaultKind kind) {
  return Entry(kind).needsDevice;
}

bool FaultNeedsTrack(FaultKind kind) {
  return Entry(kind).needsTrack;
}

std::string_view FaultName(FaultKind kind) {
  return Entry(kind).word;
}

bool ParseFault(std::string_view words, Fault* fault, std::string* error) {
  std::istringstream in{std::string(words)};
  std::string word;
  std::string device;
  std::string track;
  std::string extra;
  in >> word >> device >> track >> extra;
  for (const FaultWord& entry : kFaultWords) {
    if (entry.word != word) continue;
    if (!entry.needsDevice) {
      if (!device.empty()) {
        *error = "fault " + word + " takes no device number";
        return false;
      }
      *fault = Fault{entry.kind, 0, 0};
      return true;
    }
    Fault parsed{entry.kind, 0, 0};
    if (entry.needsTrack) {
      if (!ReadNumber(device, &parsed.device) || !ReadNumber(track, &parsed.track) ||
          !extra.empty()) {
        *error = "fault " + word + " needs a device and a track number, e.g. \"" + word + " 8 18\"";
        return false;
      }
    } else if (!ReadNumber(device, &parsed.device) || !track.empty()) {
      *error = "fault " + word + " needs one device number, e.g. \"" + word + " 8\"";
      return false;
    }
    *fault = parsed;
    return true;
  }
  std::string known;
  for (const FaultWord& entry : kFaultWords)
    known += (known.empty() ? "" : ", ") + std::string(entry.word);
  *error = "unknown fault \"" + std::string(words) + "\" (known: " + known + ")";
  return false;
}

}  // namespace sim
