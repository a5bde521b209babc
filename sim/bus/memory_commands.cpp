#include "sim/bus/memory_commands.h"

namespace sim {

namespace {

// Offsets in the command buffer.
constexpr uint16_t kDash = 1;
constexpr uint16_t kKind = 2;
constexpr uint16_t kAddressLow = 3;
constexpr uint16_t kAddressHigh = 4;
constexpr uint16_t kCount = 5;
constexpr uint16_t kData = 6;

constexpr int kUnknownCommand = 31;

uint8_t BufferByte(const DriveMemory& memory, uint16_t offset) {
  return memory.Read(static_cast<uint16_t>(kCommandBuffer + offset));
}

uint16_t Address(const DriveMemory& memory) {
  return static_cast<uint16_t>(BufferByte(memory, kAddressLow) | BufferByte(memory, kAddressHigh)
                                                                     << 8);
}

}  // namespace

MemoryCommandOutcome RunMemoryCommand(DriveMemory& memory, size_t length) {
  MemoryCommandOutcome outcome;
  if (BufferByte(memory, kDash) != '-') {
    outcome.error = kUnknownCommand;
    return outcome;
  }
  uint16_t address = Address(memory);
  switch (BufferByte(memory, kKind)) {
    case 'R': {
      int count = length > kCount ? BufferByte(memory, kCount) : 1;
      if (count == 0) count = 256;
      for (int i = 0; i < count; ++i) {
        outcome.output.push_back(memory.Read(static_cast<uint16_t>(address + i)));
      }
      break;
    }
    case 'W': {
      int count = BufferByte(memory, kCount);
      for (int i = 0; i < count; ++i) {
        uint8_t value = BufferByte(memory, static_cast<uint16_t>(kData + i));
        memory.Write(static_cast<uint16_t>(address + i), value);
      }
      break;
    }
    case 'E':
      break;
    default:
      outcome.error = kUnknownCommand;
      break;
  }
  return outcome;
}

}  // namespace sim
