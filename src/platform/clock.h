#pragma once
// Time as the program sees it: millisecond sleeps and the local wall-clock time. The real
// clock runs the system timer at 1 ms resolution; tests use a virtual clock that advances
// only when the program sleeps.

#include <cstdint>

namespace dw {

struct LocalTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int day = 1;
  int month = 1;
  int year = 2000;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(int milliseconds) = 0;
  // Monotonic time since an arbitrary start, in microseconds.
  virtual int64_t NowUs() const = 0;
  virtual LocalTime Now() const = 0;
};

// A clock whose time moves only when someone sleeps on it (or advances it). The local time
// starts at 09:00:00 on 6 June 2021 unless set otherwise.
class VirtualClock final : public Clock {
 public:
  void SleepMs(int milliseconds) override { nowUs_ += int64_t{milliseconds} * 1000; }
  int64_t NowUs() const override { return nowUs_; }
  LocalTime Now() const override {
    int64_t seconds = startSecondOfDay_ + nowUs_ / 1000000;
    LocalTime t;
    t.hour = static_cast<int>((seconds / 3600) % 24);
    t.minute = static_cast<int>((seconds / 60) % 60);
    t.second = static_cast<int>(seconds % 60);
    t.day = 6;
    t.month = 6;
    t.year = 2021;
    return t;
  }
  void AdvanceUs(int64_t us) { nowUs_ += us; }
  void SetStartTime(int hour, int minute, int second) {
    startSecondOfDay_ = hour * 3600 + minute * 60 + second;
  }

 private:
  int64_t nowUs_ = 0;
  int64_t startSecondOfDay_ = 9 * 3600;
};

}  // namespace dw
