#pragma once
// The turning disk of one drive: where it stands at a moment of the bus's virtual time and how
// long it takes to turn. Everything in the drive that waits for the disk or reads and writes it
// at an angle (the DOS, the drive code, the controller's job queue) asks the same spindle.
//
// The motor turns at the drive's speed, optionally with a slow drift around it:
//   speed(t) = base x (1 + D / 100 x sin(2 pi t / period)),  t in us of virtual time.
// The angle is the integral of the speed, so it stays continuous while the speed changes. At
// time 0 each drive's disk stands at its own angle: drives are not in step with one another.

#include <cstdint>

namespace sim {

inline constexpr double kMaxDriftPercent = 3.0;
inline constexpr int64_t kDefaultDriftPeriodUs = 10'000'000;

class Spindle {
 public:
  Spindle(int device, double rpm);

  double rpm() const { return rpm_; }
  // The figures describe the rotation from time 0 on: set them before the disk is used.
  void SetRpm(double rpm) { rpm_ = rpm; }
  // percent 0 turns the drift off; otherwise 0 < percent <= kMaxDriftPercent, periodUs > 0.
  void SetDrift(double percent, int64_t periodUs);
  double driftPercent() const { return driftPercent_; }
  int64_t driftPeriodUs() const { return driftPeriodUs_; }

  // The speed at a moment, in turns a minute.
  double RpmAt(double us) const;
  // The fraction of a turn (0 <= angle < 1) the disk stands at: the byte at that fraction of
  // a track's length is under the head.
  double AngleAt(double us) const;
  // How long the disk takes from a moment on to turn by `turns` (>= 0).
  double UsForTurns(double fromUs, double turns) const;
  // One revolution from a moment on: the time the disk takes to turn once from there.
  double RevolutionUsFrom(double fromUs) const { return UsForTurns(fromUs, 1.0); }

 private:
  // Turns made since time 0, the angle at time 0 included.
  double TurnsAt(double us) const;

  double rpm_;
  double phaseUs_;
  double driftPercent_ = 0.0;
  int64_t driftPeriodUs_ = kDefaultDriftPeriodUs;
};

}  // namespace sim
