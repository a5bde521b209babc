#pragma once
#include <optional>
#include <string>

#include "core/program.h"

namespace dw {

// Fast Format of a 1541-family, 1570 or 1571 disk: 35 empty tracks built on the PC with the
// chosen ID and the BAM mark, written by the drive code, then "N:" with the name.
void FormatDisk(Program& p);

// Why a typed "NAME,ID" (one with a comma) cannot name a disk: longer than 19 characters (a
// cut would change the ID), or no ID after the comma (the headers would carry two zero bytes).
// Nothing when it can.
std::optional<std::string> FormatAnswerProblem(const std::string& answer);

}  // namespace dw
