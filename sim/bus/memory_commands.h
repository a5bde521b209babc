#pragma once
// The DOS memory commands, run from the command buffer at $0200 as the DOS parses them:
//   "M-R" lo hi [n]   n bytes from lo/hi for channel 15 (1 without n, 256 for n = 0), the
//                     last with EOI and no carriage return;
//   "M-W" lo hi n d.. n bytes from the buffer at $0206 into memory (n = 0 writes nothing);
//   "M-E" lo hi       accepted; the virtual drive has no 6502, so nothing runs.
// Every byte comes from the buffer where the command left it: a command shorter than its
// parameters takes the missing bytes from what an earlier command left there.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/bus/drive_memory.h"

namespace sim {

inline constexpr uint16_t kCommandBuffer = 0x0200;
// Characters the command buffer holds; a longer command is refused with 32.
inline constexpr size_t kCommandBufferLength = 41;

struct MemoryCommandOutcome {
  int error = 0;                // DOS error: 0, or 31 for an unknown "M" command
  std::vector<uint8_t> output;  // what channel 15 sends next ("M-R" only)
};

// The command of `length` characters at $0200 starts with "M".
MemoryCommandOutcome RunMemoryCommand(DriveMemory& memory, size_t length);

}  // namespace sim
