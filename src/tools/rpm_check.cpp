#include "tools/rpm_check.h"

#include <cmath>
#include <cstdio>

#include "core/log.h"
#include "disk/read_track.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr double kUsPerTick = 0.5425347222222222;  // the drive's timer runs at 1.8432 MHz
constexpr double kUsPerMinute = 60000000.0;
constexpr int kMeasuringTrack = 18;
constexpr uint32_t kNominalRevolutionUs = 200000;

// The third tick byte of a plausible revolution lies between 1 and 6: 35556 to 248888 us
// (1687 to 241 rpm). Anything else means the code found no sync to time.
constexpr uint8_t kLowestHighByte = 1;
constexpr uint8_t kHighestHighByte = 6;

}  // namespace

int32_t RevolutionTimeFromTicks(uint32_t ticks) {
  return static_cast<int32_t>(std::nearbyint(ticks * kUsPerTick));
}

std::string RpmText(int32_t revolutionUs) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", kUsPerMinute / revolutionUs);
  return text;
}

void RevolutionRange::Add(int32_t t) {
  if (minTime == 0 || t < minTime) minTime = t;
  if (maxTime == 0 || t > maxTime) maxTime = t;
}

std::string RevolutionRange::SummaryLine() const {
  return "RPM min: " + RpmText(maxTime) + "; max: " + RpmText(minTime);
}

void CheckRpm(Program& p, int count) {
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  if (p.DriveFamily == kFamily1581) {
    LogLine(p, "NOT APPLICABLE TO 1581");
    ReadErrorChannel(p);
    return;
  }
  if (p.DriveFamily == kFamilyUnknown) {
    ReadErrorChannel(p);
    return;
  }
  if (p.DosErrorFlag != 0) return;
  LogLine(p, "Drive Spindle Speed; nominal 300 RPM [294 < RPM < 306]");
  StartSectorTransfer(p, kCodeRpmCheck, true);
  p.desk.StartRpmSeries(count);

  RevolutionRange range;
  for (; count > 0; --count) {
    // The series' own poll: a close request here ends the series, not the program.
    std::optional<DeskEvent> event = p.desk.WaitEvent(1);
    if (event && event->kind == EventKind::kCloseRequest) break;
    if (p.LinkState != 0) break;
    DriveJob(p, 7, kMeasuringTrack, 0, 0, 0);
    if (p.LinkState != 0) continue;
    const std::vector<uint8_t>& reply = p.ReplyData;
    const uint8_t highByte = reply.size() >= 3 ? reply[2] : 0;
    if (highByte < kLowestHighByte || highByte > kHighestHighByte) {
      LogLine(p, "Error: RPM Timeout");
      break;
    }
    const uint32_t ticks = reply[0] | (reply[1] << 8) | (uint32_t{highByte} << 16);
    const int32_t t = RevolutionTimeFromTicks(ticks);
    range.Add(t);
    p.desk.ShowRpm(kUsPerMinute / t);
    LogLine(p, RpmText(t));
  }
  if (range.minTime > 0) {
    LogLine(p, range.SummaryLine());
    p.RevolutionTimeUs = static_cast<uint32_t>(range.minTime);
  } else {
    p.RevolutionTimeUs = kNominalRevolutionUs;
  }
  ReadErrorChannel(p);
}

}  // namespace dw
