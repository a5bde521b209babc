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

// What a picture of the disk or the drive shows, and when: "Create disk image, drive 8
// (1541-II), 14:03:22" (the running command, the selected drive and the desk's clock now).
std::string WorkCaption(const Program& p);

// While the drive works on its own for a long time (expected: about that many seconds), each
// pass of an exchange's wait calls TickDriveBusy, which shows the time gone by in the status
// bar and the progress bar, once a second: "Formatting 80 tracks: 0:23 of about 1:04".
void BeginDriveBusy(Program& p, const std::string& what, int expectedSeconds);
void TickDriveBusy(Program& p);
void EndDriveBusy(Program& p);

}  // namespace dw
