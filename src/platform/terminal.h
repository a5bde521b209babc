#pragma once
// The terminal the command-line program runs in (a console window on Windows): whether standard
// error goes to one, where a progress bar that redraws its line can be read (in a file or a pipe
// it would only be noise), and questions a person answers at it.

#include <optional>
#include <string>

namespace dw {

bool StandardErrorIsTerminal();

// Standard input when it is a terminal a person can answer questions at; -1 otherwise.
int StandardInputTerminal();

// What a person typed at `terminal` within `ms`: the characters of the line (empty at the
// input's end), or nullopt when nothing came in that time.
std::optional<std::string> TypedWithin(int terminal, int ms);

}  // namespace dw
