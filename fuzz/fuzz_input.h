#pragma once
// The bytes of one fuzz run, taken from the front as a target needs them. Past the end every
// byte reads as 0 and every run of bytes is empty, so a target never runs out of input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace dw::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

  bool empty() const { return at_ >= bytes_.size(); }
  uint8_t Byte() { return empty() ? 0 : bytes_[at_++]; }
  // Two bytes, low byte first.
  int Word() {
    const int low = Byte();
    return low + 256 * Byte();
  }
  std::span<const uint8_t> Bytes(size_t count) {
    const size_t taken = std::min(count, bytes_.size() - std::min(at_, bytes_.size()));
    std::span<const uint8_t> part = bytes_.subspan(std::min(at_, bytes_.size()), taken);
    at_ += taken;
    return part;
  }
  std::span<const uint8_t> Rest() { return Bytes(bytes_.size()); }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

}  // namespace dw::fuzz
