#pragma once
// What the user reads when no port holds the adapter: the ports that were there to try, why
// each is not the link, what would let the program open a port it was denied, and how to start
// without the adapter.

#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace dw {

// The text of the box that ends the program, "BUSLINK V2.0 hardware not present!" first; line
// breaks are CR LF.
std::string NoAdapterText(const std::vector<PortTrial>& tried);

}  // namespace dw
