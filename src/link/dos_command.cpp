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
  const std::string command = answer.value_or(std::string());
  if (command.empty()) return;
  LogLine(p, "DOS command: \"" + command + "\"");
  // Sent exactly as typed: no carriage return, no case conversion. A $00 byte is a typed
  // character, not the end of the text.
  IecString sent = ToIecString(command);
  std::replace(sent.begin(), sent.end(), char16_t{0}, kIecZero);
  // A command cut to what the adapter takes would be another command: "N0:NAME,ID" cut before
  // its ID formats the disk without one. The link refuses it whole and nothing reaches the drive.
  if (!SendIecString(p, 15, sent, false, 2)) {
    p.LinkState |= kLinkIecError;
    return;
  }
  CloseChannel(p, 15);
  ReadErrorChannel(p);
}

}  // namespace dw
