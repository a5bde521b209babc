#pragma once
// The one road to the drives: command packets to the BUSLINK adapter and its replies, and the
// IEC channel operations built on them.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/program.h"

namespace dw {

// Adapter opcodes.
enum Opcode : uint8_t {
  kOpOpen = 0x01,
  kOpClose = 0x02,
  kOpWrite = 0x03,
  kOpRead = 0x04,
  kOpBurstRead = 0x08,
  kOpBurstWrite = 0x09,
  kOpLoadPages = 0x0B,
  kOpStartCode = 0x0C,
  kOpMemoryJob = 0x0D,
  kOpReadJob = 0x0E,
  kOpWriteTrackJob = 0x0F,
  kOpSpeedJob = 0x10,
  kOpMemoryDownload = 0x11,
  kOpResetBus = 0xFF,
};

// IEC strings: one byte per character; the character of code 256 stands for the byte $00.
using IecString = std::u16string;
inline constexpr char16_t kIecZero = 256;

// Builds an IEC string from plain bytes (each byte one character).
IecString ToIecString(std::string_view bytes);

// Sends CommandPacket[0 .. sendLength-1] and waits for the reply (N data bytes + 4-byte
// trailer). Returns the reply's data length L; sets IecStatus, ReplyData and LinkState.
int AdapterExchange(Program& p, int sendLength, int replyDataLength, uint8_t timeoutSeconds);

// false when the text was refused (longer than the adapter takes for a command) and nothing
// was sent.
bool SendIecString(Program& p, uint8_t sa, const IecString& text, bool asOpen,
                   uint8_t timeoutSeconds);
void OpenChannel(Program& p, uint8_t sa, const IecString& text);
void CloseChannel(Program& p, uint8_t sa);
// The caller has put k payload bytes at CommandPacket[4 ..].
void WriteChannel(Program& p, uint8_t sa, int k);
int ReadChannel(Program& p, uint8_t sa, int count, uint8_t timeoutSeconds);
std::string ReadErrorChannel(Program& p);
// The same for a drive that may still be busy with a long command (a format): the drive
// answers only when it is done.
std::string ReadErrorChannelWithin(Program& p, uint8_t timeoutSeconds);
void ResetBus(Program& p);

// One BREAK pulse on the link port: break 1 ms, idle 1 ms.
void SendBreakPulse(Program& p);

}  // namespace dw
