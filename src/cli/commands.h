#pragma once
#include "cli/session.h"

namespace dw::cli {

// Runs the command of the call on the connected drive; returns the exit status.
int RunCommandOfCall(Session& s);

}  // namespace dw::cli
