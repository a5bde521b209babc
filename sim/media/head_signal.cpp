#include "sim/media/head_signal.h"

#include <algorithm>
#include <cmath>

#include "sim/media/raw_track.h"

namespace sim {

namespace {

constexpr int kClockDivisorBase = 16;
constexpr double kBitClockMHz = 4.0;

int CellDivisor(int zone) {
  return kClockDivisorBase - zone;
}

bool BitAt(std::span<const uint8_t> track, size_t bit) {
  return (track[(bit / 8) % track.size()] >> (7 - bit % 8)) & 1;
}

class BitSink {
 public:
  explicit BitSink(size_t bytes) : bytes_(bytes, 0) {}
  void Put(bool bit) {
    if (bit) bytes_[next_ / 8] |= static_cast<uint8_t>(0x80 >> (next_ % 8));
    ++next_;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t next_ = 0;
};

}  // namespace

size_t RevolutionBytes(int zone, double revolutionUs) {
  return static_cast<size_t>(revolutionUs * kBitClockMHz / CellDivisor(zone) / 8);
}

int ZoneByteUs(int zone) {
  return static_cast<int>(8 * CellDivisor(zone) / kBitClockMHz);
}

std::vector<uint8_t> ReadAsHead(std::span<const uint8_t> track, int writtenZone, int readZone,
                                size_t startBit, size_t byteCount) {
  std::vector<uint8_t> out;
  out.reserve(byteCount);
  if (track.empty()) {
    out.resize(byteCount, 0);
    return out;
  }
  // Read cell i looks at the written cell under the middle of its own cell.
  const uint64_t readCell = static_cast<uint64_t>(CellDivisor(readZone));
  const uint64_t writtenCell = static_cast<uint64_t>(CellDivisor(writtenZone));
  int ones = 0;
  int bits = 0;
  unsigned byte = 0;
  for (uint64_t cell = 0; out.size() < byteCount; ++cell) {
    const uint64_t written = ((2 * cell + 1) * readCell) / (2 * writtenCell);
    const bool bit = BitAt(track, startBit + static_cast<size_t>(written));
    if (bit) {
      ++ones;
    } else {
      if (ones >= kSyncMinOneBits) {
        bits = 0;
        byte = 0;
      }
      ones = 0;
    }
    byte = (byte << 1) | (bit ? 1u : 0u);
    if (++bits == 8) {
      out.push_back(static_cast<uint8_t>(byte));
      bits = 0;
      byte = 0;
    }
  }
  return out;
}

size_t WriteRevolution(std::vector<uint8_t>& track, int zone, double revolutionUs, double startTurn,
                       std::span<const uint8_t> bytes) {
  const size_t turnBytes = RevolutionBytes(zone, revolutionUs);
  const size_t written = std::min(bytes.size(), turnBytes);
  if (written == 0 || turnBytes == 0) return 0;
  if (track.empty()) track.assign(turnBytes, 0);
  const size_t oldBits = track.size() * 8;
  // The new bits cover this much of the circle; the old ones keep the rest of it.
  const double covered = static_cast<double>(written) / static_cast<double>(turnBytes);
  const double keptEstimate = static_cast<double>(oldBits) * (1.0 - covered);
  const size_t newBytes =
      std::max(written, static_cast<size_t>(std::llround((8.0 * written + keptEstimate) / 8.0)));
  const size_t keptBits = newBytes * 8 - written * 8;
  const size_t startBit = static_cast<size_t>(startTurn * static_cast<double>(oldBits)) % oldBits;

  BitSink turn(newBytes);
  for (size_t i = 0; i < written * 8; ++i) turn.Put((bytes[i / 8] >> (7 - i % 8)) & 1);
  const size_t keptFrom = startBit + oldBits - keptBits % oldBits;
  for (size_t i = 0; i < keptBits; ++i) turn.Put(BitAt(track, keptFrom + i));

  // The turn started at startTurn; bit 0 of the track lies where the circle starts.
  // Whole bytes: the angle is kept to a byte's time.
  const size_t origin =
      static_cast<size_t>((1.0 - startTurn) * static_cast<double>(newBytes)) % newBytes * 8;
  std::vector<uint8_t> result(newBytes);
  RawTrackBits(turn.bytes()).Read(origin, result);
  track = std::move(result);
  return written;
}

}  // namespace sim
