#include "core/program.h"

namespace dw {

Program::Program(Desk& deskIn, Clock& clockIn, PortOpener& portsIn)
    : desk(deskIn),
      clock(clockIn),
      ports(portsIn),
      CommandPacket(kCommandPacketSize, 0),
      ReplyData(kReplyDataStartSize, 0),
      LinkInput(kLinkInputBufferSize, 0),
      ImageBuffer(kImageBufferSize, 0),
      PlainBuffer(kPlainBufferStartSize, 0),
      GcrOutBuffer(kGcrOutBufferSize, 0) {}

}  // namespace dw
