#include "sim/bus/drive_memory.h"

#include <algorithm>

#include "sim/bus/drive_rom.h"

namespace sim {

namespace {

constexpr uint16_t kSerialViaStart = 0x1800;
constexpr uint16_t kDiskViaStart = 0x1C00;
constexpr uint16_t kViaEnd = 0x2000;
constexpr uint16_t kCiaStart = 0x4000;
constexpr uint16_t kCiaEnd = 0x4400;

// VIA 2 port B: bit 4 write-protect sense (0 when protected), bit 7 SYNC (0 while a sync
// mark is under the head; the head sits on no sync between jobs).
constexpr uint8_t kDiskViaWriteEnable = 0x10;
constexpr uint8_t kDiskViaNoSync = 0x80;
// 1581 CIA port B bit 6: write protect, low when protected.
constexpr uint8_t kCiaWriteEnable = 0x40;

}  // namespace

DriveMemory::DriveMemory(const DriveModel& model, int device)
    : model_(model), device_(device), ram_(model.board.ramSize), rom_(MakeDriveRom(model)) {
  PowerOn();
}

void DriveMemory::PowerOn() {
  std::fill(ram_.begin(), ram_.end(), uint8_t{0});
  // VIA 1: DATA out, CLK out and ATN acknowledge are outputs; CA1 (ATN) interrupt on.
  serialVia_.Reset(0x1A, 0x00, 0x01, 0x82);
  // VIA 2: stepper, motor, LED and density are outputs; read mode; timer 1 interrupt on.
  diskVia_.Reset(0x6F, 0x00, 0xEE, 0xC0);
  cia_.Reset();
  // Device number jumpers on VIA 1 port B bits 5-6 (1581: CIA port A bits 3-4).
  uint8_t jumpers = static_cast<uint8_t>((device_ - 8) & 0x03);
  serialVia_.SetInputsB(static_cast<uint8_t>(0x9F | (jumpers << 5)));
  cia_.SetInputsA(static_cast<uint8_t>(0xE7 | (jumpers << 3)));
  SetWriteProtected(writeProtected_);
}

void DriveMemory::SetWriteProtected(bool protectedDisk) {
  writeProtected_ = protectedDisk;
  uint8_t lines = protectedDisk ? 0xFF & ~kDiskViaWriteEnable : 0xFF;
  diskVia_.SetInputsB(static_cast<uint8_t>(lines | kDiskViaNoSync));
  cia_.SetInputsB(protectedDisk ? static_cast<uint8_t>(0xFF & ~kCiaWriteEnable) : 0xFF);
}

DriveMemory::Area DriveMemory::Decode(uint16_t address) const {
  if (address < model_.board.ramSize) return Area::kRam;
  if (address >= model_.board.romStart) return Area::kRom;
  if (model_.board.hasVias && address >= kSerialViaStart && address < kViaEnd) {
    return address < kDiskViaStart ? Area::kSerialVia : Area::kDiskVia;
  }
  if (model_.board.hasCia && address >= kCiaStart && address < kCiaEnd) return Area::kCia;
  return Area::kNone;
}

uint8_t DriveMemory::Read(uint16_t address) const {
  switch (Decode(address)) {
    case Area::kRam:
      return ram_[address];
    case Area::kRom:
      return rom_[address - model_.board.romStart];
    case Area::kSerialVia:
      return serialVia_.Read(address);
    case Area::kDiskVia:
      return diskVia_.Read(address);
    case Area::kCia:
      return cia_.Read(address);
    case Area::kNone:
      break;
  }
  return static_cast<uint8_t>(address >> 8);
}

void DriveMemory::Write(uint16_t address, uint8_t value) {
  switch (Decode(address)) {
    case Area::kRam:
      ram_[address] = value;
      break;
    case Area::kSerialVia:
      serialVia_.Write(address, value);
      if ((address & 0xF) == Via::kPeripheralControl && fastSerialDriver_) {
        serialVia_.RaiseFlags(Via::kFlagCb2);
      }
      break;
    case Area::kDiskVia:
      diskVia_.Write(address, value);
      break;
    case Area::kCia:
      cia_.Write(address, value);
      break;
    case Area::kRom:
    case Area::kNone:
      break;
  }
}

}  // namespace sim
