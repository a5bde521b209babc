#pragma once
// What whole-disk operations tell the desk's disk map: the layout when they start, then each
// track as it is read or written.

#include <cstdint>
#include <string>
#include <vector>

#include "core/program.h"

namespace dw {

// Starts an empty map of tracks 1..trackCount of TrackTable, with the words of every code for
// the current drive family, captioned with the running command, the drive and the time.
void StartDiskMap(Program& p, int trackCount);

// One track's cells, sector 0 first.
void ShowTrackOnMap(Program& p, int track, const std::vector<uint8_t>& cells);
void ShowSectorOnMap(Program& p, int track, int sector, uint8_t cell);

// The sectors of the map and their codes as the map writes them: "683 sectors, no errors" or
// "683 sectors, 3 with errors (2 × 5, 1 × B)", then how many were recovered on retry ("683
// sectors, no errors, 3 recovered on retry") and how many were not read, if any.
std::string SectorTally(const Program& p);

// `count` cells of one value: a track written whole, or a 1581 half told by one burst status.
std::vector<uint8_t> SameCells(int count, uint8_t cell);

// The map cell for a sector code or a 1581 burst status byte: good for 0 and 1, $80 for a
// disk of another format, else the code's low four bits.
uint8_t MapCell(uint8_t code);

}  // namespace dw
