#include "disk/error_after_transfer.h"

#include "link/exchange.h"

namespace dw {

std::string ReadErrorChannelAfterTransfer(Program& p) {
  // After a timeout or an abort the adapter is not asked again.
  const uint8_t iecError = p.LinkState == kLinkIecError ? kLinkIecError : 0;
  p.LinkState &= static_cast<uint8_t>(~iecError);
  std::string text = ReadErrorChannel(p);
  p.LinkState |= iecError;
  return text;
}

}  // namespace dw
