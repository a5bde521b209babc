#include "link/dos_command.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/log.h"
#include "link/exchange.h"

namespace dw {

void SendDosCommand(Program& p) {
  std::optional<std::string> answer =
      p.desk.AskText({"Send DOS command", "Enter DOS command:", std::string()});
  std::string command = answer ? answer->substr(0, 40) : std::string();
  if (command.empty()) return;
  LogLine(p, "DOS command: \"" + command + "\"");
  // Sent exactly as typed: no carriage return, no case conversion. A $00 byte is a typed
  // character, not the end of the text.
  IecString sent = ToIecString(command);
  std::replace(sent.begin(), sent.end(), char16_t{0}, kIecZero);
  SendIecString(p, 15, sent, false, 2);
  CloseChannel(p, 15);
  ReadErrorChannel(p);
}

}  // namespace dw
