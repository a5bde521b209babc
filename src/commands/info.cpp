#include "commands/info.h"

#include <cstdio>

#include "core/log.h"
#include "link/status_text.h"

namespace dw {

void ShowErrorInfo(Program& p) {
  LogLine(p, "DOS low level errors for current device:");
  for (int code = 0; code <= 15; ++code) {
    char number[4];
    std::snprintf(number, sizeof number, "%X", code);
    LogLine(p, std::string("#") + number + ": " +
                   StatusText(p, static_cast<uint8_t>(code), kJobCodeKind));
  }
}

void ShowAbout(Program& p) {
  ShowInfoBox(p, std::string("Version 3.00\r\nBuilt: ") + DISKWRIGHT_BUILD_DATE);
}

}  // namespace dw
