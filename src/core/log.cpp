#include "core/log.h"

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

}  // namespace dw
