#include "core/log.h"

#include <cstdio>

namespace dw {

std::string FormatLogStamp(const LocalTime& time) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", time.hour % 100, time.minute % 100,
                time.second % 100);
  return stamp;
}

void LogLine(Program& p, const std::string& text) {
  if (text.empty()) {
    p.desk.AppendLogLine(std::string());
  } else {
    p.desk.AppendLogLine(FormatLogStamp(p.clock.Now()) + " " + text);
  }
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
