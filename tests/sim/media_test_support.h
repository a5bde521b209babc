#pragma once
// Helpers for the tests of the virtual disks and DOS: temporary folders, the oracle tools
// (cc1541, cbmconvert) run in them, and short ways to drive a Dos.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sim/media/disk.h"
#include "sim/media/dos.h"
#include "sim/media/gcr_sector.h"

namespace sim::testing {

using Bytes = std::vector<uint8_t>;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dw-media-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline bool ToolAvailable(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command in a folder; returns its exit code and its standard output in *output.
inline int RunIn(const std::string& dir, const std::string& command,
                 std::string* output = nullptr) {
  const std::string line = "cd '" + dir + "' && " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline Bytes RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return {};
  Bytes bytes(static_cast<size_t>(file.tellg()));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The first difference of two byte strings as a short hex dump, for failure messages.
inline std::string FirstDifference(const Bytes& expected, const Bytes& actual) {
  if (expected.size() != actual.size()) {
    return "sizes differ: expected " + std::to_string(expected.size()) + ", got " +
           std::to_string(actual.size());
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == actual[i]) continue;
    char line[96];
    std::snprintf(line, sizeof line, "first difference at $%zX: expected $%02X, got $%02X", i,
                  expected[i], actual[i]);
    return line;
  }
  return "equal";
}

#define EXPECT_BYTES_EQ(expected, actual) \
  EXPECT_TRUE((expected) == (actual)) << ::sim::testing::FirstDifference((expected), (actual))

// A whole file read through LOAD: secondary address 0, every byte up to EOI.
struct Loaded {
  bool opened = false;
  bool eoi = false;
  Bytes bytes;
  std::string message;
};

inline Loaded LoadFile(Dos& dos, const std::string& name, int sa = 0) {
  Loaded result;
  result.opened = dos.Open(sa, Text(name));
  while (result.opened) {
    bool eoi = false;
    const Bytes chunk = dos.Read(sa, 254, eoi);
    result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.end());
    if (eoi) result.eoi = true;
    if (eoi || chunk.empty()) break;
  }
  dos.Close(sa);
  result.message = dos.TakeErrorMessage();
  return result;
}

// SAVE on secondary address 1 in pieces of 250 bytes; returns the error message after CLOSE.
inline std::string SaveFile(Dos& dos, const std::string& name, const Bytes& bytes, int sa = 1) {
  if (!dos.Open(sa, Text(name))) return dos.TakeErrorMessage();
  for (size_t pos = 0; pos < bytes.size(); pos += 250) {
    const size_t end = std::min(bytes.size(), pos + 250);
    if (!dos.Write(sa, Bytes(bytes.begin() + static_cast<long>(pos),
                             bytes.begin() + static_cast<long>(end))))
      break;
  }
  dos.Close(sa);
  return dos.TakeErrorMessage();
}

inline std::string RunCommand(Dos& dos, const std::string& command) {
  dos.Command(Text(command));
  return dos.TakeErrorMessage();
}

}  // namespace sim::testing

namespace sim::testing {

struct OracleFile {
  std::string name;  // lower-case ASCII: cc1541 stores it as PETSCII upper case
  Bytes bytes;
  std::string type = "PRG";
};

// The file sizes the tests use: one block, block edges and a long file.
inline std::vector<OracleFile> SampleFiles(uint32_t seed) {
  std::vector<OracleFile> files;
  const size_t sizes[] = {1, 2, 253, 254, 255, 508, 509, 7000};
  int index = 0;
  for (size_t size : sizes) {
    files.push_back(
        {"file" + std::to_string(index), RandomBytes(size, seed + static_cast<uint32_t>(index))});
    ++index;
  }
  files.push_back({"sixteen chars ab", RandomBytes(600, seed + 99)});
  files.push_back({"seqdata", RandomBytes(300, seed + 98), "SEQ"});
  return files;
}

// An image made by cc1541 (extension picks D64, D71 or D81); empty path when cc1541 failed.
inline std::string MakeOracleImage(const TempDir& dir, const std::string& image,
                                   const std::vector<OracleFile>& files,
                                   const std::string& extra = "") {
  std::string command = "cc1541 -q -n 'oracle disk' -i 'od' " + extra;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string local = "in" + std::to_string(i) + ".bin";
    WriteFile(dir / local, files[i].bytes);
    command += " -T " + files[i].type + " -f '" + files[i].name + "' -w " + local;
  }
  std::string output;
  if (RunIn(dir.path(), command + " " + image, &output) != 0) {
    ADD_FAILURE() << "cc1541 failed: " << output;
    return {};
  }
  return dir / image;
}

#define REQUIRE_TOOL(tool)                                                                       \
  if (!::sim::testing::ToolAvailable(tool)) {                                                    \
    GTEST_SKIP() << tool " is not installed; scripts/setup installs it (Debian package " << tool \
                 << ")";                                                                         \
  }

}  // namespace sim::testing

namespace sim::testing {

struct ListingLine {
  int number = 0;
  Bytes text;
};

// The lines of a "$" listing (after the load address), as the computer would list them.
inline std::vector<ListingLine> ParseListing(const Bytes& listing) {
  std::vector<ListingLine> lines;
  size_t p = 2;
  while (p + 4 <= listing.size() && (listing[p] != 0 || listing[p + 1] != 0)) {
    ListingLine line;
    line.number = listing[p + 2] | (listing[p + 3] << 8);
    p += 4;
    while (p < listing.size() && listing[p] != 0) line.text.push_back(listing[p++]);
    ++p;
    lines.push_back(line);
  }
  return lines;
}

inline Bytes ReadListing(Dos& dos, const std::string& command = "$") {
  Bytes all;
  if (!dos.Open(0, Text(command))) return all;
  bool eoi = false;
  while (!eoi) {
    const Bytes chunk = dos.Read(0, 64, eoi);
    if (chunk.empty()) break;
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  dos.Close(0);
  return all;
}

// A disk formatted by the DOS of the given drive.
inline std::unique_ptr<Disk> FormattedDisk(DriveKind kind,
                                           const std::string& command = "N:TEST,AB") {
  auto disk = Disk::Blank(kind != DriveKind::k1581, kind == DriveKind::k1571);
  Dos dos(kind, true);  // a 1571 in 1571 mode formats both sides
  dos.SetDisk(disk.get());
  dos.Command(Text(command));
  const std::string message = dos.TakeErrorMessage();
  EXPECT_EQ(message, "00, OK,00,00\r");
  return disk;
}

inline SectorData SectorOf(Disk& disk, int track, int sector) {
  SectorData data{};
  EXPECT_EQ(disk.ReadSector(track, sector, data), kJobOk) << track << "/" << sector;
  return data;
}

}  // namespace sim::testing

namespace sim::testing {

// Sector images read on their own terms, to check what the DOS left on a disk.
struct ImageView {
  const Bytes& image;
  int format;  // 64, 71 or 81

  int SectorsOn(int track) const {
    if (format == 81) return 40;
    const int t = track > 35 ? track - 35 : track;
    return t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  }
  int Tracks() const { return format == 64 ? 35 : format == 71 ? 70 : 80; }
  size_t Offset(int track, int sector) const {
    size_t offset = 0;
    for (int t = 1; t < track; ++t) offset += static_cast<size_t>(SectorsOn(t)) * 256;
    return offset + static_cast<size_t>(sector) * 256;
  }
  const uint8_t* Sector(int track, int sector) const {
    return image.data() + Offset(track, sector);
  }
  int DirTrack() const { return format == 81 ? 40 : 18; }

  // Free count and whether a sector is marked free, straight from the BAM bytes.
  int Count(int track) const {
    if (format == 81) return Sector(40, track <= 40 ? 1 : 2)[0x10 + 6 * ((track - 1) % 40)];
    if (track > 35) return Sector(18, 0)[0xDD + track - 36];
    return Sector(18, 0)[4 * track];
  }
  bool Free(int track, int sector) const {
    const uint8_t* map;
    if (format == 81) {
      map = Sector(40, track <= 40 ? 1 : 2) + 0x11 + 6 * ((track - 1) % 40);
    } else if (track > 35) {
      map = Sector(53, 0) + 3 * (track - 36);
    } else {
      map = Sector(18, 0) + 4 * track + 1;
    }
    return (map[sector / 8] >> (sector % 8)) & 1;
  }

  std::vector<std::pair<int, int>> Chain(int track, int sector) const {
    std::vector<std::pair<int, int>> blocks;
    while (track != 0 && blocks.size() < 4000) {
      blocks.push_back({track, sector});
      const uint8_t* data = Sector(track, sector);
      track = data[0];
      sector = data[1];
    }
    return blocks;
  }

  struct Entry {
    uint8_t type;
    std::string name;
    int track, sector, blocks;
  };
  std::vector<Entry> Entries() const {
    std::vector<Entry> entries;
    for (const auto& [t, s] : Chain(DirTrack(), format == 81 ? 3 : 1)) {
      const uint8_t* block = Sector(t, s);
      for (int i = 0; i < 8; ++i) {
        const uint8_t* e = block + 32 * i;
        if (e[2] == 0) continue;
        std::string name;
        for (int c = 5; c < 21 && e[c] != 0xA0; ++c) name += static_cast<char>(e[c]);
        entries.push_back({e[2], name, e[3], e[4], e[30] | (e[31] << 8)});
      }
    }
    return entries;
  }
};

// Counts agree with bitmaps, and the used blocks are exactly the system blocks, the directory
// and the chains of the files.
inline void ExpectBamConsistent(const Bytes& image, int format) {
  const ImageView view{image, format};
  std::set<std::pair<int, int>> used;
  if (format == 81) {
    for (int s = 0; s < 3; ++s) used.insert({40, s});
  } else {
    used.insert({18, 0});
  }
  if (format == 71) {
    for (int s = 0; s < 19; ++s) used.insert({53, s});
  }
  for (const auto& ts : view.Chain(view.DirTrack(), format == 81 ? 3 : 1)) used.insert(ts);
  for (const auto& entry : view.Entries()) {
    const auto chain = view.Chain(entry.track, entry.sector);
    EXPECT_EQ(static_cast<int>(chain.size()), entry.blocks) << entry.name;
    for (const auto& ts : chain)
      EXPECT_TRUE(used.insert(ts).second) << entry.name << " shares a block";
  }
  for (int t = 1; t <= view.Tracks(); ++t) {
    int bits = 0;
    for (int s = 0; s < view.SectorsOn(t); ++s) {
      const bool free = view.Free(t, s);
      bits += free ? 1 : 0;
      EXPECT_NE(free, used.count({t, s}) != 0) << "block " << t << "/" << s;
    }
    EXPECT_EQ(view.Count(t), bits) << "track " << t;
  }
}

// The files cbmconvert extracts from an image, by its lower-case file name ("name.prg").
inline std::map<std::string, Bytes> ExtractWithCbmconvert(const std::string& image) {
  TempDir out;
  std::string output;
  const int code = RunIn(out.path(), "cbmconvert -n -d '" + image + "'", &output);
  EXPECT_EQ(code, 0) << output;
  std::map<std::string, Bytes> files;
  for (const auto& item : std::filesystem::directory_iterator(out.path())) {
    files[item.path().filename().string()] = ReadFile(item.path().string());
  }
  return files;
}

}  // namespace sim::testing
