#include "sim/bus/serial_line.h"

#include <algorithm>

#include "src/platform/serial_port.h"

namespace sim {

void SerialLine::Transmit(int64_t startNs, std::vector<uint8_t> bytes) {
  if (bytes.empty()) return;
  Transmission transmission;
  transmission.startNs = std::max(startNs, lineFreeNs_);
  lineFreeNs_ = transmission.startNs + LinkBytesNs(timing_, static_cast<int64_t>(bytes.size()));
  transmission.bytes = std::move(bytes);
  sending_.push_back(std::move(transmission));
}

void SerialLine::StopTransmitting(int64_t atNs) {
  Deliver(atNs);
  sending_.clear();
  lineFreeNs_ = std::min(lineFreeNs_, atNs);
}

void SerialLine::Deliver(int64_t nowNs) {
  while (!sending_.empty()) {
    Transmission& front = sending_.front();
    while (front.arrived < front.bytes.size() &&
           front.startNs + LinkBytesNs(timing_, static_cast<int64_t>(front.arrived) + 1) <= nowNs) {
      if (received_.size() < static_cast<size_t>(dw::kLinkInputBufferSize)) {
        received_.push_back(front.bytes[front.arrived]);
      } else {
        ++lostBytes_;
      }
      ++front.arrived;
    }
    if (front.arrived < front.bytes.size()) return;
    sending_.pop_front();
  }
}

void SerialLine::Clear() {
  sending_.clear();
  received_.clear();
}

int SerialLine::waiting() const {
  int all = static_cast<int>(received_.size());
  return visibleLimit_ > 0 ? std::min(all, visibleLimit_) : all;
}

int SerialLine::Read(uint8_t* buffer, int maxBytes) {
  int count = std::clamp(maxBytes, 0, waiting());
  std::copy_n(received_.begin(), count, buffer);
  received_.erase(received_.begin(), received_.begin() + count);
  return count;
}

}  // namespace sim
