#pragma once
// The drive's I/O chips as far as the DOS and host tools touch them: ports with direction
// registers (a port pin reads the output latch when it is an output, the outside line when
// it is an input) and, on the 6522, the interrupt flags. Timers and shift registers are plain
// registers that keep what was written.

#include <array>
#include <cstdint>

namespace sim {

// MOS 6522 VIA.
class Via {
 public:
  enum Register : uint8_t {
    kPortB = 0x0,
    kPortA = 0x1,
    kDirectionB = 0x2,
    kDirectionA = 0x3,
    kPeripheralControl = 0xC,
    kInterruptFlags = 0xD,
    kInterruptEnable = 0xE,
    kPortANoHandshake = 0xF,
  };
  static constexpr uint8_t kFlagCb2 = 0x08;

  // Registers as the DOS leaves them after its power-on set-up.
  void Reset(uint8_t directionB, uint8_t portB, uint8_t peripheralControl, uint8_t interruptEnable);
  uint8_t Read(int reg) const;
  void Write(int reg, uint8_t value);

  void SetInputsA(uint8_t lines) { inputsA_ = lines; }
  void SetInputsB(uint8_t lines) { inputsB_ = lines; }
  void RaiseFlags(uint8_t flags) { regs_[kInterruptFlags] |= flags & 0x7F; }

 private:
  std::array<uint8_t, 16> regs_{};
  uint8_t inputsA_ = 0xFF;
  uint8_t inputsB_ = 0xFF;
};

// MOS 6526/8520 CIA.
class Cia {
 public:
  enum Register : uint8_t { kPortA = 0x0, kPortB = 0x1, kDirectionA = 0x2, kDirectionB = 0x3 };

  void Reset() { regs_.fill(0); }
  uint8_t Read(int reg) const;
  void Write(int reg, uint8_t value) { regs_[reg & 0xF] = value; }

  void SetInputsA(uint8_t lines) { inputsA_ = lines; }
  void SetInputsB(uint8_t lines) { inputsB_ = lines; }

 private:
  std::array<uint8_t, 16> regs_{};
  uint8_t inputsA_ = 0xFF;
  uint8_t inputsB_ = 0xFF;
};

}  // namespace sim
