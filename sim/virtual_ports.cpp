#include "sim/virtual_ports.h"

#include <chrono>
#include <iostream>

#include "sim/bus/virtual_bus.h"

namespace sim {

namespace {

int64_t SteadyNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

VirtualPortRegistry::VirtualPortRegistry() = default;
VirtualPortRegistry::~VirtualPortRegistry() = default;

std::unique_ptr<dw::SerialPort> VirtualPortRegistry::Open(const std::string& description) {
  auto found = buses_.find(description);
  if (found == buses_.end()) {
    std::string error;
    std::unique_ptr<VirtualBus> bus = VirtualBus::FromDescription(description, SteadyNowUs, &error);
    if (!bus) {
      std::cerr << "Diskwright: virtual bus \"" << description << "\": " << error << "\n";
      return nullptr;
    }
    found = buses_.emplace(description, std::move(bus)).first;
  }
  return found->second->OpenPort();
}

}  // namespace sim
