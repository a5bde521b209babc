#pragma once
// A place on a disk whose recording has grown too faint to read the same on every revolution:
// the flux changes there sit at the edge of what the read amplifier picks up, so one turn reads
// them right and the next loses some of them, as a worn or marginal sector does. Which turns
// fail is drawn from a seed, so the same disk read the same way fails the same reads.

#include <cstdint>

namespace sim {

class WeakSpot {
 public:
  explicit WeakSpot(uint32_t seed) : state_(seed | 1u) {}

  // Whether the next revolution that passes the spot under the head reads it wrong. The first
  // one always does (that is how the spot is found); after it about half of them, never more
  // than kLongestFailingRun in a row.
  bool NextReadFails() {
    ++reads_;
    const bool fails =
        reads_ == 1 || (failingRun_ < kLongestFailingRun && (NextNoise() & 0x100u) != 0);
    failingRun_ = fails ? failingRun_ + 1 : 0;
    return fails;
  }

  // A pseudo-random word that differs from one call to the next: which faint flux changes a
  // failing turn loses.
  uint32_t NextNoise() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  int reads() const { return reads_; }

  static constexpr int kLongestFailingRun = 3;

 private:
  uint32_t state_;
  int reads_ = 0;
  int failingRun_ = 0;
};

}  // namespace sim
