#pragma once
#include "core/program.h"

namespace dw {

// Asks the user for a DOS command, sends it on channel 15 and shows the drive's answer.
void SendDosCommand(Program& p);

}  // namespace dw
