#pragma once
// GCR disk images for the whole-disk tests, made by cc1541 (an independent tool).

#include <string>
#include <vector>

#include "prg_oracle_support.h"

namespace dw {

inline std::vector<oracle::ImageFile> ManySizes() {
  return {{"one", oracle::Noise(1, 1)},     {"two", oracle::Noise(254, 2)},
          {"three", oracle::Noise(255, 3)}, {"big", oracle::Noise(254 * 120 + 7, 4)},
          {"odd", oracle::Noise(5000, 5)},  {"large", oracle::Noise(254 * 260, 6)}};
}

// Makes an image with cc1541 (extra options such as -4 for 40 tracks) holding the files.
inline bool MakeGcrImage(const fake::TempDir& dir, const std::string& image,
                         const std::string& options) {
  std::string command =
      "cd " + oracle::Quoted(dir.path()) + " && cc1541 -m -n 'gcr disk' -i 'xy 2a' " + options;
  const auto files = ManySizes();
  for (size_t i = 0; i < files.size(); ++i) {
    fake::WriteFile(dir / ("f" + std::to_string(i)), files[i].bytes);
    command += " -f " + files[i].cbmName + " -w f" + std::to_string(i);
  }
  return oracle::Run(command + " " + oracle::Quoted(image) + " > /dev/null");
}

// Where the test puts each defect: track, sector, error byte (codes 2 and 3 on tracks of their
// own: missing syncs make every lost header of a track read as code 3).
struct Defect {
  int track, sector;
  uint8_t code;
};
constexpr Defect kDefects[] = {{3, 4, 2},  {5, 0, 3},  {7, 7, 4},
                               {10, 3, 5}, {12, 5, 9}, {20, 1, 11}};

inline int SectorIndex(int track, int sector) {
  int index = 0;
  for (int t = 1; t < track; ++t) index += t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  return index + sector;
}

// The image with 683 error bytes: 1 for every sector but the defects.
inline std::vector<uint8_t> WithErrorBytes(std::vector<uint8_t> bytes) {
  bytes.resize(174848 + 683, 1);
  for (const Defect& d : kDefects) bytes[174848 + SectorIndex(d.track, d.sector)] = d.code;
  return bytes;
}

// What a disk with those defects gives back: the data of a sector whose data block cannot
// be found (or whose header cannot) is zero.
inline std::vector<uint8_t> AsReadBack(std::vector<uint8_t> bytes) {
  for (const Defect& d : kDefects) {
    if (d.code == 5 || d.code == 11) continue;
    std::fill_n(bytes.begin() + SectorIndex(d.track, d.sector) * 256, 256, 0);
  }
  return bytes;
}

}  // namespace dw
