#pragma once
#include <string>

#include "core/program.h"

namespace dw {

// The drive's error channel at the end of a file transfer, read also when the adapter reported
// an IEC error on the way (a disk pulled out): the drive's own message says what went wrong.
// The IEC error mark stays, so the command still ends as aborted.
std::string ReadErrorChannelAfterTransfer(Program& p);

}  // namespace dw
