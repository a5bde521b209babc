#include "link/exchange.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/log.h"
#include "core/shutdown.h"
#include "link/status_text.h"

namespace dw {

namespace {

// Replies of this size or more are refused; the input buffer of the link port holds 40000.
constexpr int kReplyLimit = 40000;
constexpr int kTrailerLength = 4;
constexpr int kMaxIecStringLength = 40;
constexpr uint8_t kCommandChannel = 15;
// Payload bytes that the packet's length byte can describe (255 - 4 header bytes).
constexpr int kMaxWritePayload = 251;

// What the port says is waiting; negative when the port reports an error: its device is gone
// (a USB adapter pulled out) and nothing will ever arrive on it again.
int BytesWaiting(Program& p) {
  return p.LinkPort ? p.LinkPort->BytesWaiting() : 0;
}

// Drops whatever is in the input: the end of an earlier reply, line noise. Read in blocks, as
// the system's input queue may release more as it is emptied. false when the port failed.
bool DiscardInput(Program& p) {
  std::array<uint8_t, 256> scratch{};
  for (int waiting = BytesWaiting(p); waiting != 0; waiting = BytesWaiting(p)) {
    if (waiting < 0) return false;
    const int got = p.LinkPort->Read(scratch.data(), static_cast<int>(scratch.size()));
    if (got < 0) return false;
    if (got == 0) break;
  }
  return true;
}

// The bytes of the reply as they arrive. The system's input queue of a real port shows only
// about 4 KB at a time and releases the rest as it is read, so the reply is taken in pieces and
// counted here rather than judged by what the port says is waiting.
class ReplyReceiver {
 public:
  explicit ReplyReceiver(Program& p) : p_(p), bytes_(p.LinkInput) {}

  // Reads what has arrived, up to the reply limit; the rest stays in the input.
  void Take() {
    while (received_ < kReplyLimit) {
      int waiting = BytesWaiting(p_);
      portFailed_ = portFailed_ || waiting < 0;
      if (waiting <= 0) return;
      int want = std::min(waiting, kReplyLimit - received_);
      int got = p_.LinkPort->Read(bytes_.data() + received_, want);
      portFailed_ = portFailed_ || got < 0;
      if (got <= 0) return;
      received_ += got;
    }
  }
  int received() const { return received_; }
  const uint8_t* data() const { return bytes_.data(); }
  bool portFailed() const { return portFailed_; }
  void MarkPortFailed() { portFailed_ = true; }

 private:
  Program& p_;
  std::vector<uint8_t>& bytes_;
  int received_ = 0;
  bool portFailed_ = false;
};

void TakeEventEndingOnClose(Program& p) {
  std::optional<DeskEvent> event = p.desk.TakeEvent();
  if (event && event->kind == EventKind::kCloseRequest) ShutDown(p);
}

void LogIecError(Program& p, const std::string& text) {
  LogLine(p, "Drive #" + std::to_string(p.CurrentDevice) + " ERROR! ---> IEC Bus: " + text);
}

}  // namespace

IecString ToIecString(std::string_view bytes) {
  IecString text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<unsigned char>(c));
  return text;
}

void SendBreakPulse(Program& p) {
  if (p.LinkPort) p.LinkPort->SetBreak(true);
  p.clock.SleepMs(1);
  if (p.LinkPort) p.LinkPort->SetBreak(false);
  p.clock.SleepMs(1);
}

int AdapterExchange(Program& p, int sendLength, int replyDataLength, uint8_t timeoutSeconds) {
  p.ReplyAreaSize = 0;
  if (p.LinkState >= kLinkTimeout) return 0;
  int countdown = timeoutSeconds * 1000;
  SendBreakPulse(p);
  sendLength = std::clamp(sendLength, 0, static_cast<int>(p.CommandPacket.size()));
  ReplyReceiver reply(p);
  if (!DiscardInput(p) ||
      (p.LinkPort && p.LinkPort->Write(p.CommandPacket.data(), sendLength) < 0)) {
    reply.MarkPortFailed();
  } else {
    reply.Take();
  }

  // Counted passes of at least 1 ms each; the window stays alive and RESET is watched. Silence
  // is waited out; a port that fails will never answer, so its wait ends at once.
  const int expected = replyDataLength + kTrailerLength;
  while (!reply.portFailed() && reply.received() < expected && p.LinkState < kLinkTimeout) {
    TakeEventEndingOnClose(p);
    TickDriveBusy(p);
    p.clock.SleepMs(1);
    --countdown;
    if (p.desk.IsResetDown()) {
      p.LinkState = kLinkAborted;
    } else if (countdown <= 0) {
      LogLine(p, "Connection Timeout");
      p.LinkState = kLinkTimeout;
    }
    reply.Take();
  }
  // The adapter may pad the data area beyond what was asked for: the reply ends when the line
  // has been quiet for a pass.
  if (reply.received() >= expected) {
    for (int before = -1;
         before != reply.received() && reply.received() < kReplyLimit && !reply.portFailed();) {
      before = reply.received();
      TakeEventEndingOnClose(p);
      p.clock.SleepMs(1);
      reply.Take();
    }
  }

  if (reply.portFailed() && p.LinkState < kLinkTimeout) {
    // Ends the command and brings the reconnection, as a time-out does.
    LogLine(p, "BUSLINK V2.0 adapter disconnected");
    p.LinkState = kLinkTimeout;
  }

  // A reply complete when the wait ended is still taken. One of the reply limit or more stays
  // in the input until the next exchange discards it.
  int n = reply.received();
  if (n <= 3 || n >= kReplyLimit) return 0;
  p.ReplyData.assign(reply.data(), reply.data() + n);
  p.ReplyData.push_back(0);

  const uint8_t* r = p.ReplyData.data();
  if (r[n - 1] != p.CommandPacket[0]) {
    LogLine(p, "Response Error");
    return 0;
  }
  p.IecStatus = r[n - 2];
  p.ReplyAreaSize = n - kTrailerLength;
  int length = r[n - 4] + 256 * r[n - 3];
  if (length > 0) p.ReplyData.resize(length, 0);

  std::string status = StatusText(p, p.IecStatus, kIecStatusKind);
  if (status != "OK" && p.CurrentDevice > 0 && p.LinkState <= kLinkTimeout) {
    LogIecError(p, status);
    p.LinkState |= kLinkIecError;
  }
  return length;
}

bool SendIecString(Program& p, uint8_t sa, const IecString& text, bool asOpen,
                   uint8_t timeoutSeconds) {
  // A character of code 0 ends a text.
  IecString sent = text.substr(0, text.find(char16_t{0}));
  if ((sa == kCommandChannel || asOpen) && sent.size() > kMaxIecStringLength) {
    LogLine(p, "ERROR - IEC string too long");
    return false;
  }
  if (sent.size() > kMaxIecStringLength) sent.resize(kMaxIecStringLength);
  int length = static_cast<int>(sent.size());
  for (int i = 0; i < length; ++i) {
    p.CommandPacket[4 + i] = sent[i] == kIecZero ? 0 : static_cast<uint8_t>(sent[i] & 0xFF);
  }
  p.CommandPacket[0] = asOpen ? kOpOpen : kOpWrite;
  p.CommandPacket[1] = static_cast<uint8_t>(length + 4);
  p.CommandPacket[2] = p.CurrentDevice;
  p.CommandPacket[3] = sa;
  AdapterExchange(p, length + 4, 16, timeoutSeconds);
  return true;
}

void OpenChannel(Program& p, uint8_t sa, const IecString& text) {
  p.LinkState = 0;
  SendIecString(p, sa, text, true, 2);
  // The fast serial drives (1570, 1571, 1581) answer an open with $20.
  if (p.IecStatus == 0x20) {
    p.IecStatus = 0;
    p.Status20Flag = 1;
  } else {
    p.Status20Flag = 0;
  }
}

void CloseChannel(Program& p, uint8_t sa) {
  p.CommandPacket[0] = kOpClose;
  p.CommandPacket[1] = 4;
  p.CommandPacket[2] = p.CurrentDevice;
  p.CommandPacket[3] = sa;
  AdapterExchange(p, 4, 16, 200);
}

void WriteChannel(Program& p, uint8_t sa, int k) {
  // The length byte cannot describe more; a cut payload would be lost data on the disk.
  if (k < 0 || k > kMaxWritePayload) {
    LogLine(p, "ERROR - IEC data too long");
    return;
  }
  p.CommandPacket[0] = kOpWrite;
  p.CommandPacket[1] = static_cast<uint8_t>(k + 4);
  p.CommandPacket[2] = p.CurrentDevice;
  p.CommandPacket[3] = sa;
  AdapterExchange(p, k + 4, 16, 200);
}

int ReadChannel(Program& p, uint8_t sa, int count, uint8_t timeoutSeconds) {
  p.CommandPacket[0] = kOpRead;
  p.CommandPacket[1] = 6;
  p.CommandPacket[2] = p.CurrentDevice;
  p.CommandPacket[3] = sa;
  p.CommandPacket[4] = static_cast<uint8_t>(count / 256);
  p.CommandPacket[5] = static_cast<uint8_t>(count % 256);
  return AdapterExchange(p, 6, count, timeoutSeconds);
}

std::string ReadErrorChannel(Program& p) {
  return ReadErrorChannelWithin(p, 2);
}

std::string ReadErrorChannelWithin(Program& p, uint8_t timeoutSeconds) {
  p.DosErrorFlag = 0;
  ShowStatusText(p, std::string());
  if (p.LinkState != 0) return std::string();
  int length = ReadChannel(p, kCommandChannel, 64, timeoutSeconds);
  std::string text;
  if (p.IecStatus == 0x40) {
    length = std::min(length, static_cast<int>(p.ReplyData.size()));
    for (int i = 0; i < length; ++i) {
      // Carriage returns and other control bytes are dropped.
      if (p.ReplyData[i] > 13) text.push_back(static_cast<char>(p.ReplyData[i]));
    }
    p.DosErrorCode = static_cast<uint8_t>(std::atoi(text.c_str()));
    // 00 OK, 01 files scratched and 73 the power-on message are not errors.
    if (p.DosErrorCode != 0 && p.DosErrorCode != 1 && p.DosErrorCode != 73) {
      p.DosErrorFlag = 1;
      LogLine(p, text);
    }
    ShowStatusText(p, text);
  }
  return text;
}

void ResetBus(Program& p) {
  p.CommandPacket[0] = kOpResetBus;
  p.CommandPacket[1] = 2;
  AdapterExchange(p, 2, 0, 4);
}

}  // namespace dw
