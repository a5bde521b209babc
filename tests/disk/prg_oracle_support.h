#pragma once
// The independent oracles of the directory and PRG tests: cc1541 makes disk images and lists
// them, cbmconvert extracts their files. Both are Debian packages made by others; a test skips
// with a message when one is missing.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "prg_test_support.h"

namespace dw::oracle {

inline bool ToolInstalled(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

// Single quotes for the shell.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; its standard output in *out; true when it exited with 0.
inline bool Run(const std::string& command, std::string* out = nullptr) {
  std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return false;
  std::array<char, 4096> chunk{};
  std::string text;
  size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    text.append(chunk.data(), got);
  int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return status == 0;
}

struct ImageFile {
  std::string cbmName;  // as given to cc1541, in ASCII lower case (PETSCII upper case on disk)
  std::vector<uint8_t> bytes;
};

// Deterministic bytes that differ from file to file, so a mixed-up chain shows.
inline std::vector<uint8_t> Noise(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// Makes an image (type by extension) named "oracle disk", ID "ab", DOS type "2a", holding the
// files in order. -m: names that share a fast loader's hash (f020 and f101) are still written.
inline bool MakeImage(const fake::TempDir& dir, const std::string& image,
                      const std::vector<ImageFile>& files) {
  std::string command = "cd " + Quoted(dir.path()) + " && cc1541 -m -n 'oracle disk' -i 'ab 2a'";
  for (size_t i = 0; i < files.size(); ++i) {
    std::string local = "local" + std::to_string(i);
    fake::WriteFile(dir / local, files[i].bytes);
    command += " -f " + Quoted(files[i].cbmName) + " -w " + local;
  }
  return Run(command + " " + Quoted(image) + " > /dev/null");
}

// cc1541's listing of an image, one text per line, without its colour codes and trailing blanks.
inline std::vector<std::string> Cc1541Listing(const std::string& image) {
  std::string out;
  Run("cc1541 " + Quoted(image), &out);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line;
    for (size_t i = start; i < end; ++i) {
      if (out[i] == '\x1b') {
        while (i < end && out[i] != 'm') ++i;
        continue;
      }
      line += out[i];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A directory list line as cc1541 prints it: PETSCII letters $41-$5A in lower case, $C1-$DA in
// upper case, no disk format after the header, no trailing blanks.
inline std::string AsCc1541Prints(std::string line) {
  size_t format = line.rfind(" (");
  if (line.rfind("0 ", 0) == 0 && format != std::string::npos && line.back() == ')') {
    line.resize(format);
  }
  for (char& c : line) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x41 && u <= 0x5A) c = static_cast<char>(u + 0x20);
    if (u >= 0xC1 && u <= 0xDA) c = static_cast<char>(u - 0x80);
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// The name cbmconvert gives a PRG file it extracts: lower case, "/" as ".", then ".prg".
inline std::string CbmconvertName(const std::string& cbmName) {
  std::string name;
  for (char c : cbmName) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    name += c == '/' ? '.' : c;
  }
  return name + ".prg";
}

// Extracts every file of the image into the folder (created); false when cbmconvert failed.
inline bool Extract(const std::string& image, const std::string& folder) {
  std::filesystem::create_directories(folder);
  return Run("cd " + Quoted(folder) + " && cbmconvert -N -d " + Quoted(image) + " > /dev/null");
}

inline std::string Listed(const std::string& folder) {
  std::string names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names += entry.path().filename().string() + " ";
  }
  return names;
}

// Layout of the three image types, enough to walk the BAM, the directory and the file chains.
struct ImageLayout {
  int tracks = 35;
  bool mfm = false;  // 1581: 40 sectors on every track
  int directoryTrack = 18;

  static ImageLayout ForSize(size_t size) {
    if (size >= 819200) return {80, true, 40};
    if (size >= 349696) return {70, false, 18};
    return {35, false, 18};
  }
  int Sectors(int track) const {
    if (mfm) return 40;
    int t = track > 35 ? track - 35 : track;
    return t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  }
  size_t Offset(int track, int sector) const {
    size_t blocks = 0;
    for (int t = 1; t < track; ++t) blocks += static_cast<size_t>(Sectors(t));
    return (blocks + static_cast<size_t>(sector)) * 256;
  }
  bool Valid(int track, int sector) const {
    return track >= 1 && track <= tracks && sector >= 0 && sector < Sectors(track);
  }
  // Tracks of the BAM and the directory, whose blocks belong to no file.
  bool SystemTrack(int track) const {
    return track == directoryTrack || (tracks == 70 && track == 53);
  }
};

// A D71 as a 1571 lists it: cc1541 leaves the side-2 free counts of the BAM (18/0 $DD-$FF) at
// zero and lists the free blocks from its bitmaps, while the drive shows the sum of the counts.
// For a D71 the free-blocks figure is taken from the image's counts, as the drive takes it.
inline std::vector<std::string> ListingAsTheDriveShows(const std::string& image) {
  std::vector<std::string> lines = Cc1541Listing(image);
  std::vector<uint8_t> bytes = fake::ReadFile(image);
  if (lines.empty() || ImageLayout::ForSize(bytes.size()).tracks != 70) return lines;
  const size_t bam = 0x16500;
  int counts = 0;
  for (int t = 1; t <= 35; ++t) counts += t == 18 ? 0 : bytes[bam + 4 * static_cast<size_t>(t)];
  for (int t = 36; t <= 70; ++t)
    counts += t == 53 ? 0 : bytes[bam + 0xDD + static_cast<size_t>(t - 36)];
  lines.back() = std::to_string(counts) + " blocks free.";
  return lines;
}

// What is wrong with the BAM of an image; empty when it is consistent: every track's free count
// matches its bitmap, every block of every file is allocated and in one file only, the
// directory's block counts match the chains, and no data block is allocated without a file.
// The side-2 counts of a D71 are not compared (cc1541 leaves them zero; see above).
inline std::string BamProblems(const std::vector<uint8_t>& image) {
  const ImageLayout layout = ImageLayout::ForSize(image.size());
  std::string problems;
  auto block = [&](int t, int s) { return image.data() + layout.Offset(t, s); };
  // Free bit and count of a block's track, per image type.
  auto isFree = [&](int t, int s) -> bool {
    if (layout.mfm) {
      const uint8_t* bam = block(40, t <= 40 ? 1 : 2) + 0x10 + 6 * ((t - 1) % 40);
      return (bam[1 + s / 8] >> (s % 8)) & 1;
    }
    if (t > 35) return (block(53, 0)[3 * (t - 36) + s / 8] >> (s % 8)) & 1;
    return (block(18, 0)[4 * t + 1 + s / 8] >> (s % 8)) & 1;
  };
  auto count = [&](int t) -> int {
    if (layout.mfm) return block(40, t <= 40 ? 1 : 2)[0x10 + 6 * ((t - 1) % 40)];
    if (t > 35) return -1;
    return block(18, 0)[4 * t];
  };
  for (int t = 1; t <= layout.tracks; ++t) {
    int bits = 0;
    for (int s = 0; s < layout.Sectors(t); ++s) bits += isFree(t, s) ? 1 : 0;
    if (count(t) >= 0 && count(t) != bits) {
      problems += "track " + std::to_string(t) + ": count " + std::to_string(count(t)) +
                  ", bitmap " + std::to_string(bits) + "; ";
    }
  }
  std::vector<int> owner(image.size() / 256, 0);
  int fileNumber = 0;
  int t = layout.directoryTrack;
  int s = layout.mfm ? 3 : 1;
  for (int guard = 0; t != 0 && guard < 40; ++guard) {
    if (!layout.Valid(t, s)) return problems + "directory chain leaves the disk; ";
    const uint8_t* dir = block(t, s);
    for (int e = 0; e < 8; ++e) {
      const uint8_t* entry = dir + 32 * e;
      if ((entry[2] & 0x0F) == 0 || !(entry[2] & 0x80)) continue;
      ++fileNumber;
      int ft = entry[3], fs = entry[4], blocks = 0;
      while (ft != 0) {
        if (!layout.Valid(ft, fs)) {
          problems += "file " + std::to_string(fileNumber) + " leaves the disk; ";
          break;
        }
        size_t index = layout.Offset(ft, fs) / 256;
        if (owner[index] != 0) {
          problems += "block " + std::to_string(ft) + "/" + std::to_string(fs) + " in two files; ";
          break;
        }
        owner[index] = fileNumber;
        if (isFree(ft, fs)) {
          problems += "block " + std::to_string(ft) + "/" + std::to_string(fs) + " is free; ";
        }
        ++blocks;
        const uint8_t* data = block(ft, fs);
        ft = data[0];
        fs = data[1];
      }
      if (blocks != entry[0x1E] + 256 * entry[0x1F]) {
        problems += "file " + std::to_string(fileNumber) + " lists " +
                    std::to_string(entry[0x1E] + 256 * entry[0x1F]) + " blocks, has " +
                    std::to_string(blocks) + "; ";
      }
    }
    t = dir[0];
    s = dir[1];
  }
  for (int tr = 1; tr <= layout.tracks; ++tr) {
    if (layout.SystemTrack(tr)) continue;
    for (int se = 0; se < layout.Sectors(tr); ++se) {
      if (!isFree(tr, se) && owner[layout.Offset(tr, se) / 256] == 0) {
        problems += "block " + std::to_string(tr) + "/" + std::to_string(se) + " lost; ";
      }
    }
  }
  return problems;
}

}  // namespace dw::oracle

#define DW_REQUIRE_ORACLES()                                                                  \
  do {                                                                                        \
    if (!dw::oracle::ToolInstalled("cc1541") || !dw::oracle::ToolInstalled("cbmconvert"))     \
      GTEST_SKIP() << "cc1541 and cbmconvert are needed (apt-get install cc1541 cbmconvert)"; \
  } while (false)
