#include "sim/bus/serial_line.h"

#include <algorithm>
#include <iterator>

#include "src/platform/serial_port.h"

namespace sim {

int64_t SerialLine::EndNs(const Transmission& transmission) const {
  return transmission.startNs +
         LinkBytesNs(timing_, static_cast<int64_t>(transmission.bytes.size()));
}

void SerialLine::Transmit(int64_t startNs, std::vector<uint8_t> bytes) {
  if (bytes.empty()) return;
  // The line carries bytes in the order they are sent: a reply the adapter will only start
  // later (the drive still working) comes behind bytes sent now, such as line noise.
  auto later = std::find_if(sending_.begin(), sending_.end(), [&](const Transmission& t) {
    return t.arrived == 0 && t.startNs > startNs;
  });
  Transmission transmission;
  transmission.startNs = startNs;
  transmission.bytes = std::move(bytes);
  const bool lineWasIdle = sending_.empty();
  auto at = sending_.insert(later, std::move(transmission));
  // The new bytes and everything behind them start once the line is free.
  int64_t freeNs = lineWasIdle ? lineFreeNs_ : startNs;
  if (at != sending_.begin()) freeNs = EndNs(*std::prev(at));
  for (; at != sending_.end(); ++at) {
    at->startNs = std::max(at->startNs, freeNs);
    freeNs = EndNs(*at);
  }
  lineFreeNs_ = freeNs;
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
