#include "disk/disk_map.h"

#include <map>

#include "core/log.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr uint8_t kOtherFormat = 0x80;
// The multiplication sign, a Latin-1 character as the log's texts are.
constexpr char kTimes[] = " \xD7 ";

// A code as the map writes it in its cell: the hexadecimal digit, "*" for another format.
std::string CodeLabel(uint8_t cell) {
  if (cell > 0x0F) return "*";
  return std::string(1, "0123456789ABCDEF"[cell]);
}

// A place the layout does not have is not kept (nor drawn by the desk).
void KeepCell(Program& p, int track, int sector, uint8_t cell) {
  if (track < 1 || track > static_cast<int>(p.MapCells.size()) || sector < 0) return;
  std::vector<uint8_t>& column = p.MapCells[static_cast<size_t>(track - 1)];
  if (static_cast<size_t>(sector) < column.size()) column[static_cast<size_t>(sector)] = cell;
}

}  // namespace

void StartDiskMap(Program& p, int trackCount) {
  DiskMapLayout layout;
  layout.caption = WorkCaption(p);
  p.MapCells.clear();
  for (int track = 1; track <= trackCount && track < kTrackTableSize; ++track) {
    const int sectors = p.TrackTable[static_cast<size_t>(track)].sectorCount;
    layout.sectorsPerTrack.push_back(sectors);
    p.MapCells.emplace_back(static_cast<size_t>(sectors), kMapNotRead);
  }
  for (uint8_t code = kMapGood; code <= 0x0F; ++code) {
    layout.codeTexts[code] = StatusText(p, code, kJobCodeKind);
  }
  layout.codeTexts[kOtherFormat] = StatusText(p, kOtherFormat, kJobCodeKind);
  p.desk.StartDiskMap(layout);
}

void ShowTrackOnMap(Program& p, int track, const std::vector<uint8_t>& cells) {
  for (size_t sector = 0; sector < cells.size(); ++sector) {
    KeepCell(p, track, static_cast<int>(sector), cells[sector]);
  }
  p.desk.ShowTrackOnMap(track, cells);
}

void ShowSectorOnMap(Program& p, int track, int sector, uint8_t cell) {
  KeepCell(p, track, sector, cell);
  p.desk.ShowSectorOnMap(track, sector, cell);
}

std::string SectorTally(const Program& p) {
  int sectors = 0;
  int notRead = 0;
  int recovered = 0;
  std::map<uint8_t, int> errors;
  for (const std::vector<uint8_t>& column : p.MapCells) {
    for (uint8_t cell : column) {
      ++sectors;
      if (cell == kMapNotRead) {
        ++notRead;
      } else if (cell == kMapRecovered) {
        ++recovered;
      } else if (cell != kMapGood && cell != kMapDiffers) {
        ++errors[cell];
      }
    }
  }
  int withErrors = 0;
  std::string counts;
  for (const auto& [cell, count] : errors) {
    withErrors += count;
    counts += (counts.empty() ? "" : ", ") + std::to_string(count) + kTimes + CodeLabel(cell);
  }
  std::string tally = std::to_string(sectors) + " sectors, ";
  tally +=
      withErrors == 0 ? "no errors" : std::to_string(withErrors) + " with errors (" + counts + ")";
  if (recovered > 0) tally += ", " + std::to_string(recovered) + " recovered on retry";
  if (notRead > 0) tally += ", " + std::to_string(notRead) + " not read";
  return tally;
}

std::vector<uint8_t> SameCells(int count, uint8_t cell) {
  return std::vector<uint8_t>(static_cast<size_t>(count > 0 ? count : 0), cell);
}

uint8_t MapCell(uint8_t code) {
  if ((code & kOtherFormat) != 0) return kOtherFormat;
  const uint8_t low = code & 0x0F;
  return low <= kMapGood ? kMapGood : low;
}

}  // namespace dw
