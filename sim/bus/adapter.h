#pragma once
// The adapter's firmware: takes one packet, does the IEC bus work with the drives, and builds
// the reply. Timing and the serial line are the bus's business (virtual_bus.h).
//
// A packet the adapter cannot take gets no reply at all, so the program times out: an unknown
// opcode, a length byte that differs from the number of bytes that arrived (opcode $0B: page
// count * 256 + 3 bytes), a packet shorter than its opcode needs, or more pages than the
// adapter's buffer holds.
//
// A drive switched off while the adapter counts it as present (it answered the last bus reset)
// holds the IEC lines: the adapter hangs on it and never replies. After the next bus reset the
// adapter knows it is gone and reports it as not present ($80), like a device that never was.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/bus/bus_timing.h"
#include "sim/bus/protocol.h"
#include "sim/bus/virtual_drive.h"

namespace sim {

inline constexpr int kFirstDevice = 8;
inline constexpr int kLastDevice = 11;
using DriveSlots = std::array<std::unique_ptr<VirtualDrive>, kLastDevice - kFirstDevice + 1>;

struct AdapterReply {
  std::vector<uint8_t> bytes;  // data area, L low, L high, IEC status, echo
  int64_t workUs = 0;          // bus and drive time before the drive sends its data
  // The adapter forwards the data as the drive sends it: dataBytes (L) of them over dataUs.
  int64_t dataUs = 0;
  size_t dataBytes = 0;
};

class Adapter {
 public:
  Adapter(DriveSlots& drives, const BusTiming& timing) : drives_(drives), timing_(timing) {}

  // The packet as it is complete at nowUs.
  std::optional<AdapterReply> Handle(std::span<const uint8_t> packet, int64_t nowUs);
  // The adapter's own power-on: its buffer is emptied.
  void Restart();
  // The next drive-code job, burst read or channel read gets this IEC status from the adapter:
  // $04, the device did not answer its addressing (nothing is done, no data); $08, the wait
  // for the drive's bytes ran out halfway through its data (the half that came, padded).
  void AnswerNextReadWith(uint8_t status) { pendingStatus_ = status; }
  // When the drive a packet addresses is free for it (it may still be busy with a command).
  int64_t AddresseeFreeUs(std::span<const uint8_t> packet) const;

  // The packets the adapter takes (see the top of this file).
  static bool IsWellFormed(std::span<const uint8_t> packet);

  std::span<const uint8_t> buffer() const { return buffer_; }
  int bufferPages() const { return bufferPages_; }
  // The device that got the last page of drive code (opcode $0C), 0 when none.
  int codeDevice() const { return codeDevice_; }

 private:
  // The device a packet addresses (0 for the adapter's own opcodes).
  int AddressedDevice(std::span<const uint8_t> packet) const;
  // True when the addressed drive answered the last reset and has been switched off since.
  bool HangsOn(int device) const;
  VirtualDrive* PoweredDrive(int device) const;
  // The powered drive at `device`, its bus operation begun; nullptr when none answers.
  VirtualDrive* Address(int device);
  AdapterReply Answer(uint8_t opcode, std::span<const uint8_t> data, int area, uint8_t status,
                      VirtualDrive* drive) const;
  std::optional<AdapterReply> Carry(std::span<const uint8_t> packet);
  // The reply area a read-like packet has, and whether the status faults hit it.
  static std::optional<int> ReadArea(std::span<const uint8_t> packet);

  AdapterReply OnOpen(std::span<const uint8_t> packet);
  AdapterReply OnClose(std::span<const uint8_t> packet);
  AdapterReply OnWrite(std::span<const uint8_t> packet);
  AdapterReply OnRead(std::span<const uint8_t> packet);
  AdapterReply OnLoadPages(std::span<const uint8_t> packet);
  AdapterReply OnStartCode(std::span<const uint8_t> packet);
  std::optional<AdapterReply> OnJob(std::span<const uint8_t> packet);
  AdapterReply OnResetBus(std::span<const uint8_t> packet);
  // The 1581's burst commands (adapter_burst.cpp).
  AdapterReply OnBurstRead(std::span<const uint8_t> packet);
  AdapterReply OnBurstWrite(std::span<const uint8_t> packet);
  AdapterReply OnMemoryDownload(std::span<const uint8_t> packet);

  DriveSlots& drives_;
  const BusTiming& timing_;
  std::array<uint8_t, kAdapterBufferPages * 256> buffer_{};
  int bufferPages_ = 0;
  int codeDevice_ = 0;
  int64_t nowUs_ = 0;
  std::array<bool, kLastDevice - kFirstDevice + 1> answeredReset_{};
  uint8_t pendingStatus_ = 0;
};

}  // namespace sim
