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
};

constexpr std::array<FaultWord, 12> kFaultWords{{
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
}};

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

std::string_view FaultName(FaultKind kind) {
  return Entry(kind).word;
}

bool ParseFault(std::string_view words, Fault* fault, std::string* error) {
  std::istringstream in{std::string(words)};
  std::string word;
  std::string device;
  std::string extra;
  in >> word >> device >> extra;
  for (const FaultWord& entry : kFaultWords) {
    if (entry.word != word) continue;
    if (!entry.needsDevice) {
      if (!device.empty()) {
        *error = "fault " + word + " takes no device number";
        return false;
      }
      *fault = Fault{entry.kind, 0};
      return true;
    }
    int number = 0;
    auto [end, status] = std::from_chars(device.data(), device.data() + device.size(), number);
    if (device.empty() || status != std::errc() || end != device.data() + device.size() ||
        !extra.empty()) {
      *error = "fault " + word + " needs one device number, e.g. \"" + word + " 8\"";
      return false;
    }
    *fault = Fault{entry.kind, number};
    return true;
  }
  std::string known;
  for (const FaultWord& entry : kFaultWords)
    known += (known.empty() ? "" : ", ") + std::string(entry.word);
  *error = "unknown fault \"" + std::string(words) + "\" (known: " + known + ")";
  return false;
}

}  // namespace sim
