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

void WriteRevolution(std::vector<uint8_t>& track, int zone, double revolutionUs, double startTurn,
                     std::span<const uint8_t> bytes) {
  const size_t turnBytes = RevolutionBytes(zone, revolutionUs);
  const size_t count = bytes.size();
  if (count == 0 || turnBytes == 0) return;
  if (track.empty()) track.assign(turnBytes, 0);
  // The circle from where the write began.
  std::vector<uint8_t> circle;
  if (count >= turnBytes) {
    // The head comes round to its own first bytes and goes on over them: each place keeps the
    // last byte written there, and nothing of the old recording is left.
    circle.assign(turnBytes, 0);
    for (size_t i = 0; i < count; ++i) circle[i % turnBytes] = bytes[i];
  } else {
    // The new bits cover this much of the circle; the old ones keep the rest of it, as many of
    // them as were recorded there (the old track may have been written at another speed).
    const size_t oldBits = track.size() * 8;
    const double covered = static_cast<double>(count) / static_cast<double>(turnBytes);
    const double keptEstimate = static_cast<double>(oldBits) * (1.0 - covered);
    const size_t circleBytes =
        std::max(count, static_cast<size_t>(std::llround((8.0 * count + keptEstimate) / 8.0)));
    const size_t keptBits = (circleBytes - count) * 8;
    const size_t startBit = static_cast<size_t>(startTurn * static_cast<double>(oldBits)) % oldBits;
    circle.assign(bytes.begin(), bytes.end());
    circle.resize(circleBytes);
    const size_t keptFrom = startBit + oldBits - keptBits % oldBits;
    RawTrackBits(track).Read(keptFrom, std::span(circle).subspan(count));
  }
  // Where the write current switches off the cells behind the last bit lose what they held.
  circle[count % circle.size()] = kSpliceByte;
  // The write began at startTurn; bit 0 of the track lies where the circle starts. Whole
  // bytes: the angle is kept to a byte's time.
  const size_t origin =
      static_cast<size_t>((1.0 - startTurn) * static_cast<double>(circle.size())) % circle.size();
  std::rotate(circle.begin(), circle.begin() + static_cast<long>(origin), circle.end());
  track = std::move(circle);
}

}  // namespace sim
