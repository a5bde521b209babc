#include "sim/bus/bus_timing.h"

#include <algorithm>
#include <array>

#include "sim/media/dos.h"

namespace sim {

namespace {

struct CommandCost {
  uint8_t letter;
  double revolutions;
};

// Initialise seeks track 18 and reads the BAM; validate and copy walk the whole disk;
// scratch and rename rewrite directory and BAM; block and user commands touch one sector.
constexpr std::array<CommandCost, 8> kCommandCosts{{
    {'I', 3.0},
    {'V', 60.0},
    {'C', 20.0},
    {'S', 4.0},
    {'R', 3.0},
    {'B', 1.0},
    {'U', 1.0},
    {'N', 4.0},
}};
// "N:name,id" formats every track: a write and a verify revolution for each of 35 tracks; on a
// 1581 for each side of 80 cylinders.
constexpr double kFullFormatRevolutions = 70.0;
constexpr double k1581FormatRevolutions = 320.0;

}  // namespace

bool IsFullFormat(std::span<const uint8_t> command, bool is1581) {
  if (command.empty()) return false;
  return (command[0] == 'N' && std::find(command.begin(), command.end(), ',') != command.end()) ||
         (is1581 && IsBurstFormat(command));
}

double DosCommandRevolutions(std::span<const uint8_t> command, bool is1581, bool canFormat) {
  if (command.empty()) return 0.0;
  if (IsFullFormat(command, is1581) && canFormat)
    return is1581 ? k1581FormatRevolutions : kFullFormatRevolutions;
  for (const CommandCost& cost : kCommandCosts) {
    if (cost.letter == command[0]) return cost.revolutions;
  }
  return 0.0;
}

}  // namespace sim
