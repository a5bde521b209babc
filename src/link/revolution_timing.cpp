#include "link/revolution_timing.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "link/drive_job.h"

namespace dw {

namespace {

constexpr double kUsPerTick = 0.5425347222222222;  // the drive's timer runs at 1.8432 MHz
constexpr double kUsPerMinute = 60000000.0;
constexpr int kTimingJob = 7;

// The third tick byte of a plausible revolution lies between 1 and 6: 35556 to 248888 us
// (1687 to 241 rpm). Anything else means the code found no sync to time.
constexpr uint8_t kLowestHighByte = 1;
constexpr uint8_t kHighestHighByte = 6;

}  // namespace

std::optional<int32_t> TimeOneRevolution(Program& p, int track) {
  DriveJob(p, kTimingJob, track, 0, 0, 0);
  if (p.LinkState != 0) return std::nullopt;
  const std::vector<uint8_t>& reply = p.ReplyData;
  const uint8_t highByte = reply.size() >= 3 ? reply[2] : 0;
  if (highByte < kLowestHighByte || highByte > kHighestHighByte) return std::nullopt;
  return RevolutionTimeFromTicks(reply[0] | (reply[1] << 8) | (uint32_t{highByte} << 16));
}

int32_t RevolutionTimeFromTicks(uint32_t ticks) {
  return static_cast<int32_t>(std::nearbyint(ticks * kUsPerTick));
}

std::string RpmText(int32_t revolutionUs) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", kUsPerMinute / revolutionUs);
  return text;
}

}  // namespace dw
