#include "disk/listing_facts.h"

#include <algorithm>

namespace dw {

namespace {

// The header line: the drive number, the disk name in quotes padded to 16 characters, a blank,
// the two ID characters and the DOS type (0 "GAMES           " 2A 2A).
constexpr size_t kIdLength = 2;

}  // namespace

std::optional<ListedDisk> ListedDiskOf(Program& p) {
  if (p.desk.DirectoryCount() == 0) return std::nullopt;
  const std::string header = p.desk.DirectoryLine(0);
  const size_t open = header.find('"');
  const size_t close = open == std::string::npos ? open : header.find('"', open + 1);
  if (close == std::string::npos) return std::nullopt;
  ListedDisk disk;
  disk.name = header.substr(open + 1, close - open - 1);
  disk.name.erase(disk.name.find_last_not_of(' ') + 1);
  disk.id = header.substr(std::min(header.size(), close + 2), kIdLength);
  // Every file line names its file in quotes; the closing "BLOCKS FREE." line has none.
  for (int i = 1; i < p.desk.DirectoryCount(); ++i) {
    if (p.desk.DirectoryLine(i).find('"') != std::string::npos) ++disk.files;
  }
  return disk;
}

}  // namespace dw
