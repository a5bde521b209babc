#include "sim/bus/serial_line.h"

#include <algorithm>
#include <iterator>

#include "src/platform/serial_port.h"

namespace sim {

int64_t SerialLine::ArrivalNs(const Transmission& t, size_t index) const {
  const auto i = static_cast<int64_t>(index);
  if (t.pacedBytes == 0 || t.paceNs <= LinkBytesNs(timing_, 1)) {
    // The line is the slower part: after the first byte has come, the bytes go out back to back.
    const int64_t firstNs = t.pacedBytes == 0 ? 0 : t.paceNs;
    return t.startNs + firstNs + LinkBytesNs(timing_, i + 1);
  }
  const auto paced = static_cast<int64_t>(t.pacedBytes);
  // Each of the paced bytes goes out as it comes; the rest follow the last of them.
  if (i < paced) return t.startNs + (i + 1) * t.paceNs + LinkBytesNs(timing_, 1);
  return t.startNs + paced * t.paceNs + LinkBytesNs(timing_, i - paced + 2);
}

int64_t SerialLine::EndNs(const Transmission& transmission) const {
  if (transmission.bytes.empty()) return transmission.startNs;
  return ArrivalNs(transmission, transmission.bytes.size() - 1);
}

SerialLine::Transmission* SerialLine::Find(int64_t id) {
  for (Transmission& transmission : sending_) {
    if (transmission.id == id) return &transmission;
  }
  return nullptr;
}

int64_t SerialLine::Transmit(int64_t startNs, std::vector<uint8_t> bytes, int64_t paceNs,
                             size_t pacedBytes) {
  if (bytes.empty()) return 0;
  // The line carries bytes in the order they are sent: a reply the adapter will only start
  // later (the drive still working) comes behind bytes sent now, such as line noise.
  auto later = std::find_if(sending_.begin(), sending_.end(), [&](const Transmission& t) {
    return t.arrived == 0 && t.startNs > startNs;
  });
  Transmission transmission;
  transmission.id = nextId_++;
  transmission.startNs = startNs;
  transmission.bytes = std::move(bytes);
  transmission.paceNs = paceNs;
  transmission.pacedBytes = std::min(pacedBytes, transmission.bytes.size());
  const int64_t id = transmission.id;
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
  return id;
}

void SerialLine::StopTransmitting(int64_t atNs) {
  Deliver(atNs);
  sending_.clear();
  lineFreeNs_ = std::min(lineFreeNs_, atNs);
}

void SerialLine::Cut(int64_t id, int64_t atNs) {
  Deliver(atNs);
  auto at = std::find_if(sending_.begin(), sending_.end(),
                         [id](const Transmission& t) { return t.id == id; });
  if (at == sending_.end()) return;
  at->bytes.resize(at->arrived);
  if (at->bytes.empty()) sending_.erase(at);
  lineFreeNs_ = sending_.empty() ? std::min(lineFreeNs_, atNs) : EndNs(sending_.back());
}

void SerialLine::Overwrite(int64_t id, int64_t atNs, const std::vector<uint8_t>& bytes) {
  Deliver(atNs);
  Transmission* transmission = Find(id);
  if (transmission == nullptr) return;
  const size_t to = std::min(bytes.size(), transmission->bytes.size());
  for (size_t i = transmission->arrived; i < to; ++i) transmission->bytes[i] = bytes[i];
}

void SerialLine::Deliver(int64_t nowNs) {
  while (!sending_.empty()) {
    Transmission& front = sending_.front();
    while (front.arrived < front.bytes.size() && ArrivalNs(front, front.arrived) <= nowNs) {
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
