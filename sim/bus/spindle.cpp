#include "sim/bus/spindle.h"

#include <cmath>
#include <numbers>

#include "sim/bus/bus_timing.h"

namespace sim {

namespace {

// Drives are not in step with one another: each disk starts at its own angle.
constexpr double kPhasePerDeviceUs = 37'000.0;
// The time of a few turns is found by Newton steps on the angle; the speed changes so slowly
// that these are plenty for a millionth of a microsecond.
constexpr int kNewtonSteps = 8;
constexpr double kTurnsTolerance = 1e-12;

}  // namespace

Spindle::Spindle(int device, double rpm) : rpm_(rpm), phaseUs_(device * kPhasePerDeviceUs) {}

void Spindle::SetDrift(double percent, int64_t periodUs) {
  driftPercent_ = periodUs > 0 ? percent : 0.0;
  driftPeriodUs_ = periodUs > 0 ? periodUs : kDefaultDriftPeriodUs;
}

double Spindle::RpmAt(double us) const {
  const double omega = 2.0 * std::numbers::pi / static_cast<double>(driftPeriodUs_);
  return rpm_ * (1.0 + driftPercent_ / 100.0 * std::sin(omega * us));
}

double Spindle::TurnsAt(double us) const {
  const double period = static_cast<double>(driftPeriodUs_);
  const double omega = 2.0 * std::numbers::pi / period;
  // The integral of the drift term: the extra microseconds of nominal turning it adds.
  const double driftUs = driftPercent_ / 100.0 * (1.0 - std::cos(omega * us)) / omega;
  return (us + phaseUs_ + driftUs) * rpm_ / static_cast<double>(kUsPerMinute);
}

double Spindle::AngleAt(double us) const {
  const double turns = TurnsAt(us);
  return turns - std::floor(turns);
}

double Spindle::UsForTurns(double fromUs, double turns) const {
  const double nominalUs = turns * static_cast<double>(kUsPerMinute) / rpm_;
  if (driftPercent_ == 0.0 || turns <= 0.0) return nominalUs;
  const double target = TurnsAt(fromUs) + turns;
  double us = nominalUs;
  for (int step = 0; step < kNewtonSteps; ++step) {
    const double missing = target - TurnsAt(fromUs + us);
    if (std::abs(missing) < kTurnsTolerance) break;
    us += missing * static_cast<double>(kUsPerMinute) / RpmAt(fromUs + us);
  }
  return us;
}

}  // namespace sim
