#include "platform/port_names.h"

#ifndef _WIN32
#include <libserialport.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace dw {

namespace {

constexpr const char* kVirtualPrefix = "sim:";

#ifndef _WIN32
std::vector<std::string> ListSystemPorts() {
  std::vector<std::string> names;
  sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK) return names;
  for (int i = 0; ports[i] != nullptr; ++i) names.emplace_back(sp_get_port_name(ports[i]));
  sp_free_port_list(ports);
  std::sort(names.begin(), names.end());
  return names;
}
#endif

class NamedPortOpener final : public PortOpener {
 public:
  explicit NamedPortOpener(VirtualPortFactory virtualPorts)
      : virtualPorts_(std::move(virtualPorts)) {}

  std::unique_ptr<SerialPort> Open(int number) override { return OpenTelling(number, nullptr); }

  std::unique_ptr<SerialPort> OpenTelling(int number, PortTrial* trial) override {
    PortTrial ignored;
    if (trial == nullptr) trial = &ignored;
    trial->port = "COM" + std::to_string(number);
    std::string variable = "DISKWRIGHT_COM" + std::to_string(number);
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != 0) {
      std::string target(value);
      trial->device = target;
      if (target.rfind(kVirtualPrefix, 0) == 0) {
        std::unique_ptr<SerialPort> port = virtualPorts_ ? virtualPorts_(target) : nullptr;
        if (!port) {
          trial->fault = PortFault::kOther;
          trial->detail = "no virtual bus could be made of it";
        }
        return port;
      }
      return OpenSystemSerialPort(target, trial);
    }
#ifdef _WIN32
    std::unique_ptr<SerialPort> port = OpenSystemSerialPort(trial->port, trial);
    // Of the 33 names only the ports the system has are worth telling.
    if (trial->fault == PortFault::kMissing) *trial = PortTrial{};
    return port;
#else
    // Only the first number looks the list up afresh, so one scan sees one list.
    if (number == 0 || systemPorts_.empty()) systemPorts_ = ListSystemPorts();
    if (number < 0 || number >= static_cast<int>(systemPorts_.size())) {
      // Nothing stands behind this name.
      *trial = PortTrial{};
      return nullptr;
    }
    trial->device = systemPorts_[number];
    return OpenSystemSerialPort(systemPorts_[number], trial);
#endif
  }

 private:
  VirtualPortFactory virtualPorts_;
#ifndef _WIN32
  std::vector<std::string> systemPorts_;
#endif
};

}  // namespace

std::unique_ptr<PortOpener> MakePortOpener(VirtualPortFactory virtualPorts) {
  return std::make_unique<NamedPortOpener>(std::move(virtualPorts));
}

}  // namespace dw
