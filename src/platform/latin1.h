#pragma once
// The program's texts are bytes, each the Latin-1 character of the same code (the drive's own
// bytes among them); terminals and log files take UTF-8.

#include <string>

namespace dw {

std::string Latin1ToUtf8(const std::string& text);

}  // namespace dw
