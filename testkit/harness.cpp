#include "testkit/harness.h"

#include <stdexcept>

#include "core/log.h"
#include "link/connect.h"
#include "shell/main_loop.h"

namespace dw {

std::unique_ptr<SerialPort> VirtualPortOpener::Open(int number) {
  ++opened_[number];
  if (auto it = buses_.find(number); it != buses_.end()) return it->second->OpenPort();
  if (silent_.count(number)) return std::make_unique<SilentPort>();
  return nullptr;
}

int VirtualPortOpener::openCount(int number) const {
  auto it = opened_.find(number);
  return it == opened_.end() ? 0 : it->second;
}

Harness::Harness(const std::string& description) {
  if (!description.empty()) {
    std::string error;
    bus = sim::VirtualBus::FromDescription(
        description, [this] { return clock.NowUs(); }, &error);
    if (!bus) throw std::runtime_error("virtual bus: " + error);
    ports.Attach(0, bus.get());
  }
  StartUp(program);
}

bool ApplyBusFault(sim::VirtualBus& bus, const std::vector<std::string>& words, int64_t atUs,
                   std::string* error) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  sim::Fault fault;
  if (!sim::ParseFault(text, &fault, error)) return false;
  bool applied = atUs > 0 ? bus.InjectAt(atUs, fault) : bus.Inject(fault);
  if (!applied) *error = "no drive for the fault \"" + text + "\"";
  return applied;
}

void Harness::Run() {
  RunMainLoop(program);
}

void Harness::Connect() {
  try {
    ConnectDrives(program);
    LogLine(program, "Welcome Diskwright user");
  } catch (const ProgramEnded&) {
  }
}

}  // namespace dw
