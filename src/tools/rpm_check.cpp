#include "tools/rpm_check.h"

#include <optional>

#include "core/log.h"
#include "disk/read_track.h"
#include "link/controller_job.h"
#include "link/exchange.h"
#include "link/revolution_timing.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr double kUsPerMinute = 60000000.0;
constexpr int kMeasuringTrack = 18;
constexpr uint32_t kNominalRevolutionUs = 200000;

}  // namespace

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
  // After the reset the code would step the head from a track nobody knows, maybe onto a track
  // without a sync to time.
  LocateHead(p, kMeasuringTrack);
  p.desk.StartRpmSeries(count, WorkCaption(p));

  RevolutionRange range;
  for (; count > 0; --count) {
    // The series' own poll: a close request here ends the series, not the program.
    std::optional<DeskEvent> event = p.desk.WaitEvent(1);
    if (event && event->kind == EventKind::kCloseRequest) break;
    if (p.LinkState != 0) break;
    const std::optional<int32_t> turn = TimeOneRevolution(p, kMeasuringTrack);
    if (p.LinkState != 0) continue;
    if (!turn) {
      LogLine(p, "Error: RPM Timeout");
      break;
    }
    const int32_t t = *turn;
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
