#include "link/port_report.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace dw {

namespace {

constexpr std::string_view kBreak = "\r\n";

constexpr std::array<std::pair<PortFault, std::string_view>, 5> kFaultTexts{{
    {PortFault::kMissing, "missing"},
    {PortFault::kInUse, "in use by another program"},
    {PortFault::kNoAnswer, "no answer (no BUSLINK V2.0 adapter on it)"},
    {PortFault::kDenied, "permission denied"},
    {PortFault::kOther, "cannot be opened"},
}};

std::string FaultText(const PortTrial& trial) {
  if (trial.fault == PortFault::kOther && !trial.detail.empty()) return trial.detail;
  for (const auto& [fault, text] : kFaultTexts) {
    if (fault == trial.fault) return std::string(text);
  }
  return "cannot be opened";
}

std::string PortName(const PortTrial& trial) {
  if (trial.port.empty()) return trial.device;
  if (trial.device.empty() || trial.device == trial.port) return trial.port;
  return trial.port + " (" + trial.device + ")";
}

// A device is opened by the members of the group that owns it.
std::string GroupHints(const std::vector<PortTrial>& tried) {
  std::string hints;
  std::vector<std::string> told;
  for (const PortTrial& trial : tried) {
    if (trial.fault != PortFault::kDenied || trial.group.empty()) continue;
    if (std::find(told.begin(), told.end(), trial.group) != told.end()) continue;
    told.push_back(trial.group);
    hints += std::string(kBreak) + "Only members of the group \"" + trial.group + "\" may open " +
             trial.device + ": add your user to it (sudo usermod -aG " + trial.group +
             " $USER), then log out and in again." + std::string(kBreak);
  }
  return hints;
}

}  // namespace

std::string NoAdapterText(const std::vector<PortTrial>& tried) {
  const std::string br(kBreak);
  std::string text = "BUSLINK V2.0 hardware not present!" + br + br;
  if (tried.empty()) {
    text += "Ports tried: none; the system lists no serial port." + br;
  } else {
    text += "Ports tried:" + br;
    for (const PortTrial& trial : tried) text += PortName(trial) + ": " + FaultText(trial) + br;
  }
  text += GroupHints(tried);
  text += br +
          "To start without the adapter, on the virtual bus: set DISKWRIGHT_COM0=sim:8=1541-II+ "
          "for the window, or call diskwright-cli --port sim:8=1541-II+ (README, \"The virtual "
          "bus\").";
  return text;
}

}  // namespace dw
