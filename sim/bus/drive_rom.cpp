#include "sim/bus/drive_rom.h"

namespace sim {

namespace {

constexpr uint32_t kIdAddress = 0xFF40;

}  // namespace

std::vector<uint8_t> MakeDriveRom(const DriveModel& model) {
  std::vector<uint8_t> rom(0x10000 - model.board.romStart);
  // xorshift32 seeded by the model byte: different per model, never all zero.
  uint32_t state = 0x9E3779B9u ^ (uint32_t{model.idByte} << 8) ^ model.idByteNext;
  for (uint8_t& byte : rom) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state >> 24);
  }
  rom[kIdAddress - model.board.romStart] = model.idByte;
  rom[kIdAddress + 1 - model.board.romStart] = model.idByteNext;
  return rom;
}

}  // namespace sim
