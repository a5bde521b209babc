#include "platform/system_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#ifdef _WIN32
// timeapi.h needs the types of windows.h before it.
#include <windows.h>

#include <timeapi.h>
#endif

namespace dw {

SystemClock::SystemClock() {
#ifdef _WIN32
  timeBeginPeriod(1);
#endif
}

SystemClock::~SystemClock() {
#ifdef _WIN32
  timeEndPeriod(1);
#endif
}

void SystemClock::SleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int64_t SystemClock::NowUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

LocalTime SystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  LocalTime t;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.day = parts.tm_mday;
  t.month = parts.tm_mon + 1;
  t.year = parts.tm_year + 1900;
  return t;
}

}  // namespace dw
