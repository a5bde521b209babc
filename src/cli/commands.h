#pragma once
#include <string>

#include "cli/session.h"

namespace dw::cli {

// Runs the command of the call on the connected drive; returns the exit status.
int RunCommandOfCall(Session& s);

// Whether a create may write the image to path, told before the disk is read: the folder must
// take files, and without --replace no file may be there already. Says why not.
bool ImageTargetUsable(Session& s, const std::string& path);

}  // namespace dw::cli
