#pragma once
// The spindle speed of a GCR drive, measured by the drive code once per job: "RPM check" takes
// five measurements, "RPM adjust" a long series to watch while turning the drive's speed
// screw. The shortest revolution becomes RevolutionTimeUs.

#include <cstdint>
#include <string>

#include "core/program.h"
#include "link/revolution_timing.h"

namespace dw {

inline constexpr int kRpmCheckCount = 5;
inline constexpr int kRpmAdjustCount = 500;

void CheckRpm(Program& p, int count);

// The shortest and longest revolution of a series; 0 until the first.
struct RevolutionRange {
  int32_t minTime = 0;
  int32_t maxTime = 0;
  void Add(int32_t t);
  // "RPM min: 298.5; max: 301.5": the slowest speed is the longest revolution.
  std::string SummaryLine() const;
};

}  // namespace dw
