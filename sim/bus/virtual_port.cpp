#include "sim/bus/virtual_port.h"

namespace sim {

namespace {

constexpr int kPortFailed = -1;

}  // namespace

VirtualPort::~VirtualPort() {
  if (bus_ != nullptr) bus_->PortClosed(this);
}

int VirtualPort::BytesWaiting() {
  return bus_ != nullptr ? bus_->PortBytesWaiting() : kPortFailed;
}

int VirtualPort::Read(uint8_t* buffer, int maxBytes) {
  return bus_ != nullptr ? bus_->PortRead(buffer, maxBytes) : kPortFailed;
}

int VirtualPort::Write(const uint8_t* data, int count) {
  return bus_ != nullptr ? bus_->PortWrite(data, count) : kPortFailed;
}

void VirtualPort::SetBreak(bool on) {
  if (bus_ != nullptr) bus_->PortSetBreak(on);
}

}  // namespace sim
