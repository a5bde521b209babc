#pragma once
#include "platform/clock.h"

namespace dw {

// The real clock. While it exists the system timer runs at 1 ms resolution where the
// system needs to be told (Windows).
class SystemClock final : public Clock {
 public:
  SystemClock();
  ~SystemClock() override;
  SystemClock(const SystemClock&) = delete;
  SystemClock& operator=(const SystemClock&) = delete;

  void SleepMs(int milliseconds) override;
  int64_t NowUs() const override;
  LocalTime Now() const override;
};

}  // namespace dw
