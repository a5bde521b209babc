#pragma once
// The adapter's side of the link protocol: the opcodes it takes, the IEC status bytes it
// reports, and the byte counts that frame packets and replies.
//
// Packet: opcode, total length, device (or a job's sub-function), secondary address (or a
// parameter), payload. Opcode $0B carries 0 as its length; its length is pages * 256 + 3.
// Reply: the data area (padded with $00 to the size the program waits for), then L low,
// L high (how many bytes of the area are data), the IEC status, and the opcode as echo.

#include <cstdint>

namespace sim {

enum class Opcode : uint8_t {
  kOpen = 0x01,
  kClose = 0x02,
  kWrite = 0x03,
  kRead = 0x04,
  kBurstRead = 0x08,
  kBurstWrite = 0x09,
  kLoadPages = 0x0B,
  kStartCode = 0x0C,
  kJobMemory = 0x0D,
  kJobReadPages = 0x0E,
  kJobWriteTrack = 0x0F,
  kJobMeasureSpeed = 0x10,
  kMemoryDownload = 0x11,
  kResetBus = 0xFF,
};

// IEC status bytes of a reply.
enum IecStatus : uint8_t {
  kIecOk = 0x00,
  kIecTimeoutIn = 0x02,    // the drive stopped sending without EOI (file sent, read error)
  kIecTimeoutOut = 0x03,   // the drive took nothing (channel not open)
  kIecNoAnswer = 0x04,     // the device did not answer the adapter's addressing
  kIecReadTimeout = 0x08,  // the wait for the drive's bytes ran out
  kIecFastSerial = 0x20,   // the OPEN was answered in fast serial mode
  kIecEoi = 0x40,          // the last data byte came with EOI
  kIecEoiNoData = 0x42,    // EOI without a byte: the channel is not open
  kIecDeviceNotPresent = 0x80,
  kIecNoDrivePowered = 0xFF,  // bus reset with no drive powered on
};

inline constexpr int kReplyTrailerLength = 4;
// Reply data area of the operations that return only a status.
inline constexpr int kStatusReplyArea = 16;
// Burst read of 20 sectors: one status byte and 20 * 256 data bytes.
inline constexpr int kBurstReadSectors = 20;
inline constexpr int kBurstReadArea = 1 + kBurstReadSectors * 256;
// Pages the adapter's buffer holds (opcode $0B).
inline constexpr int kAdapterBufferPages = 48;
// Job packets end in this byte.
inline constexpr uint8_t kJobPacketEnd = 0xAA;

}  // namespace sim
