#pragma once
// The output log, the status bar and the progress bar, and the event draining that keeps the
// window alive while a command runs on the program's one thread.

#include <cstdint>
#include <string>

#include "core/program.h"

namespace dw {

// Appends "hh:mm:ss text" to the log pane (an empty text gives an empty line with no stamp),
// scrolls to the bottom, then drains pending window events.
void LogLine(Program& p, const std::string& text);

// Handles every pending window event without waiting; events meant for the program are
// dropped (the RESET toggle keeps its pressed state, which the exchange wait reads).
void PumpEvents(Program& p);

void ShowProgress(Program& p, int value, int minimum, int maximum);
void ShowStatusText(Program& p, const std::string& text);

// The program's information and error boxes: captioned "Diskwright", one OK button.
void ShowInfoBox(Program& p, const std::string& text);
void ShowWarningBox(Program& p, const std::string& text);

// A number as the user sees it: upper-case hexadecimal without leading zeros.
std::string UpperHex(uint32_t value);

// "hh:mm:ss" of the given time.
std::string FormatLogStamp(const LocalTime& time);

}  // namespace dw
