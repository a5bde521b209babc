#include "sim/bus/io_chips.h"

namespace sim {

namespace {

uint8_t PortPins(uint8_t latch, uint8_t direction, uint8_t lines) {
  return static_cast<uint8_t>((latch & direction) | (lines & ~direction));
}

}  // namespace

void Via::Reset(uint8_t directionB, uint8_t portB, uint8_t peripheralControl,
                uint8_t interruptEnable) {
  regs_.fill(0);
  regs_[kDirectionB] = directionB;
  regs_[kPortB] = portB;
  regs_[kPeripheralControl] = peripheralControl;
  regs_[kInterruptEnable] = interruptEnable & 0x7F;
}

uint8_t Via::Read(int reg) const {
  switch (reg & 0xF) {
    case kPortB:
      return PortPins(regs_[kPortB], regs_[kDirectionB], inputsB_);
    case kPortA:
    case kPortANoHandshake:
      return PortPins(regs_[kPortA], regs_[kDirectionA], inputsA_);
    case kInterruptFlags: {
      uint8_t flags = regs_[kInterruptFlags] & 0x7F;
      // Bit 7 is set while any enabled flag is set.
      bool pending = (flags & regs_[kInterruptEnable]) != 0;
      return static_cast<uint8_t>(flags | (pending ? 0x80 : 0x00));
    }
    case kInterruptEnable:
      return static_cast<uint8_t>(regs_[kInterruptEnable] | 0x80);
    default:
      return regs_[reg & 0xF];
  }
}

void Via::Write(int reg, uint8_t value) {
  switch (reg & 0xF) {
    case kPortANoHandshake:
      regs_[kPortA] = value;
      break;
    case kInterruptFlags:
      // Writing a 1 clears that flag.
      regs_[kInterruptFlags] &= static_cast<uint8_t>(~value);
      break;
    case kInterruptEnable:
      if (value & 0x80) {
        regs_[kInterruptEnable] |= value & 0x7F;
      } else {
        regs_[kInterruptEnable] &= static_cast<uint8_t>(~value);
      }
      break;
    default:
      regs_[reg & 0xF] = value;
      break;
  }
}

uint8_t Cia::Read(int reg) const {
  switch (reg & 0xF) {
    case kPortA:
      return PortPins(regs_[kPortA], regs_[kDirectionA], inputsA_);
    case kPortB:
      return PortPins(regs_[kPortB], regs_[kDirectionB], inputsB_);
    default:
      return regs_[reg & 0xF];
  }
}

}  // namespace sim
