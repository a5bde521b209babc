#include "core/log.h"

#include <algorithm>
#include <cstdio>

namespace dw {

std::string FormatLogStamp(const LocalTime& time) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", time.hour % 100, time.minute % 100,
                time.second % 100);
  return stamp;
}

namespace {

// The kept log takes every line the pane gets; a file that cannot be written is told once, in
// the pane, and the program goes on without it.
void KeepLogLine(Program& p, const LocalTime& now, const std::string& line) {
  if (p.KeptLog == nullptr || p.KeptLog->Append(now, line) || p.KeptLogFailed) return;
  p.KeptLogFailed = true;
  p.desk.AppendLogLine(FormatLogStamp(now) + " Log file not written: " + p.KeptLog->error());
}

}  // namespace

void LogLine(Program& p, const std::string& text) {
  const LocalTime now = p.clock.Now();
  const std::string line = text.empty() ? std::string() : FormatLogStamp(now) + " " + text;
  p.desk.AppendLogLine(line);
  KeepLogLine(p, now, line);
  PumpEvents(p);
}

void PumpEvents(Program& p) {
  while (p.desk.TakeEvent()) {
  }
}

std::string UpperHex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  return text;
}

void ShowProgress(Program& p, int value, int minimum, int maximum) {
  p.desk.SetProgress(value, minimum, maximum);
}

void ShowStatusText(Program& p, const std::string& text) {
  p.desk.SetStatusText(text);
}

void ShowInfoBox(Program& p, const std::string& text) {
  p.desk.ShowMessage(
      {"Diskwright", text, MessageIcon::kNone, MessageButtons::kOk, MessageAnswer::kOk});
}

void ShowWarningBox(Program& p, const std::string& text) {
  p.desk.ShowMessage(
      {"Diskwright", text, MessageIcon::kWarning, MessageButtons::kOk, MessageAnswer::kOk});
}

std::string WorkCaption(const Program& p) {
  std::string caption = p.RunningCommand.empty() ? std::string() : p.RunningCommand + ", ";
  caption += "drive " + std::to_string(p.CurrentDevice);
  if (!p.DriveModelName.empty()) caption += " (" + p.DriveModelName + ")";
  return caption + ", " + FormatLogStamp(p.clock.Now());
}

namespace {

std::string MinutesAndSeconds(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

}  // namespace

void BeginDriveBusy(Program& p, const std::string& what, int expectedSeconds) {
  p.DriveBusy = Program::BusyDrive{what, p.clock.NowUs(), expectedSeconds, -1};
}

void TickDriveBusy(Program& p) {
  if (!p.DriveBusy) return;
  Program::BusyDrive& busy = *p.DriveBusy;
  const int seconds = static_cast<int>((p.clock.NowUs() - busy.sinceUs) / 1000000);
  if (seconds == busy.shownSeconds) return;
  busy.shownSeconds = seconds;
  // The bar counts seconds and stays short of its end until the drive has answered.
  ShowProgress(p, std::clamp(seconds, 1, std::max(1, busy.expectedSeconds - 1)), 1,
               busy.expectedSeconds);
  const std::string expected = MinutesAndSeconds(busy.expectedSeconds);
  ShowStatusText(p, busy.what + ": " + MinutesAndSeconds(seconds) +
                        (seconds < busy.expectedSeconds ? " of about " + expected
                                                        : " (expected about " + expected + ")"));
}

void EndDriveBusy(Program& p) {
  p.DriveBusy.reset();
}

}  // namespace dw
