#pragma once
// Whether standard error goes to a terminal (a console window on Windows), where a progress bar
// that redraws its line can be read; in a file or a pipe it would only be noise.

namespace dw {

bool StandardErrorIsTerminal();

}  // namespace dw
