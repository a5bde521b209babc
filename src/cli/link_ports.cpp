#include "cli/link_ports.h"

#include <cstdio>
#include <map>
#include <utility>

#include "platform/port_names.h"
#include "sim/bus/virtual_bus.h"
#include "sim/media/disk.h"

namespace dw::cli {

namespace {

constexpr std::string_view kVirtualPrefix = "sim:";
constexpr std::string_view kComPrefix = "COM";
constexpr int kLastComNumber = 32;
// How long the disk's body covers the write-protect sense while it goes out and the next in.
constexpr int64_t kDiskSwapUs = 500000;

// The port of a virtual bus whose disks a hand changes at set times. The bus moves only when
// the program calls it, so the changes are made then, before the bus sees the call.
class ChangingPort final : public SerialPort {
 public:
  ChangingPort(std::unique_ptr<SerialPort> port, sim::VirtualBus& bus, const Clock& clock,
               std::vector<DiskChange>& changes)
      : port_(std::move(port)), bus_(bus), clock_(clock), changes_(changes) {}

  int BytesWaiting() override {
    ApplyDueChanges();
    return port_->BytesWaiting();
  }
  int Read(uint8_t* buffer, int maxBytes) override {
    ApplyDueChanges();
    return port_->Read(buffer, maxBytes);
  }
  int Write(const uint8_t* data, int count) override {
    ApplyDueChanges();
    return port_->Write(data, count);
  }
  void SetBreak(bool on) override {
    ApplyDueChanges();
    port_->SetBreak(on);
  }

 private:
  void ApplyDueChanges() {
    const int64_t now = clock_.NowUs();
    while (!changes_.empty() && changes_.front().atUs <= now) {
      DiskChange& change = changes_.front();
      sim::VirtualDrive* drive = bus_.drive(change.device);
      if (drive == nullptr) {
        changes_.erase(changes_.begin());
        continue;
      }
      if (change.atUs + kDiskSwapUs > now) {
        drive->SetWriteProtected(true);
        return;
      }
      std::string error;
      std::unique_ptr<sim::Disk> disk = sim::Disk::Load(change.imagePath, &error);
      drive->TakeDisk();
      if (disk) {
        drive->InsertDisk(std::move(disk), change.imagePath);
      } else {
        std::fprintf(stderr, "diskwright-cli: %s: %s\n", change.imagePath.c_str(), error.c_str());
      }
      changes_.erase(changes_.begin());
    }
  }

  std::unique_ptr<SerialPort> port_;
  sim::VirtualBus& bus_;
  const Clock& clock_;
  std::vector<DiskChange>& changes_;
};

}  // namespace

// The virtual buses named in this run, each made at its first opening and kept, so that a
// reconnection finds the same drives and disks.
class LinkPorts::Buses {
 public:
  Buses(const Clock& clock, std::vector<DiskChange> changes, std::vector<std::string> faults)
      : clock_(clock), changes_(std::move(changes)), faults_(std::move(faults)) {}

  std::unique_ptr<SerialPort> Open(const std::string& description) {
    auto found = buses_.find(description);
    if (found == buses_.end()) {
      std::string error;
      std::unique_ptr<sim::VirtualBus> bus = sim::VirtualBus::FromDescription(
          description, [this] { return clock_.NowUs(); }, &error);
      // Told once; the port then stays shut like a port without an adapter.
      if (!bus) std::fprintf(stderr, "diskwright-cli: %s\n", error.c_str());
      for (const std::string& words : faults_) {
        sim::Fault fault;
        if (bus && sim::ParseFault(words, &fault, &error) && !bus->Inject(fault)) {
          std::fprintf(stderr, "diskwright-cli: the bus refuses the fault \"%s\"\n", words.c_str());
        }
      }
      found = buses_.emplace(description, std::move(bus)).first;
    }
    sim::VirtualBus* bus = found->second.get();
    if (bus == nullptr) return nullptr;
    std::unique_ptr<SerialPort> port = bus->OpenPort();
    if (!port) return nullptr;
    return std::make_unique<ChangingPort>(std::move(port), *bus, clock_, changes_);
  }

  bool Save(std::string* error) {
    for (auto& [description, bus] : buses_) {
      if (bus && !bus->SaveDisks(error)) return false;
    }
    return true;
  }

 private:
  const Clock& clock_;
  std::vector<DiskChange> changes_;  // in time order
  std::vector<std::string> faults_;
  std::map<std::string, std::unique_ptr<sim::VirtualBus>> buses_;
};

int ComNumberOf(const std::string& port) {
  if (port.size() <= kComPrefix.size() || port.compare(0, kComPrefix.size(), kComPrefix) != 0) {
    return -1;
  }
  int number = 0;
  for (size_t i = kComPrefix.size(); i < port.size(); ++i) {
    if (port[i] < '0' || port[i] > '9' || number > kLastComNumber) return -1;
    number = number * 10 + (port[i] - '0');
  }
  return number <= kLastComNumber ? number : -1;
}

LinkPorts::LinkPorts(const Clock& clock, std::string port, std::vector<DiskChange> changes,
                     std::vector<std::string> faults)
    : port_(std::move(port)),
      buses_(std::make_unique<Buses>(clock, std::move(changes), std::move(faults))) {
  discovery_ =
      MakePortOpener([this](const std::string& description) { return buses_->Open(description); });
}

LinkPorts::~LinkPorts() = default;

std::unique_ptr<SerialPort> LinkPorts::OpenTelling(int number, PortTrial* trial) {
  if (port_.empty()) return discovery_->OpenTelling(number, trial);
  // The one port named is scanned as the first; a COM name keeps its own number.
  const int comNumber = ComNumberOf(port_);
  if (comNumber >= 0) return number == comNumber ? discovery_->OpenTelling(number, trial) : nullptr;
  if (number != 0) return nullptr;
  if (trial != nullptr) trial->device = port_;
  if (port_.compare(0, kVirtualPrefix.size(), kVirtualPrefix) == 0) {
    std::unique_ptr<SerialPort> port = buses_->Open(port_);
    if (!port && trial != nullptr) {
      trial->fault = PortFault::kOther;
      trial->detail = "no virtual bus could be made of it";
    }
    return port;
  }
  return OpenSystemSerialPort(port_, trial);
}

bool LinkPorts::SaveVirtualDisks(std::string* error) {
  return buses_->Save(error);
}

}  // namespace dw::cli
