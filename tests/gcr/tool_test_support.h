#pragma once
// What the tests of the GCR tools share: disks made by cc1541 (an independent tool) for the
// virtual drives, file helpers, and the log of one command picked out of a run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace dw::tooltest {

inline bool Cc1541Installed() {
  return std::system("command -v cc1541 > /dev/null 2>&1") == 0;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A disk image with three files of noise, made by cc1541 in the folder; `options` such as "-4"
// (40 tracks) or "-g name.g64" (the same disk as G64 too). The image's extension tells cc1541
// the layout.
inline std::string MakeDisk(const TempFolder& folder, const std::string& name,
                            const std::string& options = "") {
  std::string command =
      "cd '" + folder.path() + "' && cc1541 -q -n 'tool disk' -i 'tk 2a' " + options;
  const size_t sizes[] = {2000, 17000, 40000};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    std::vector<uint8_t> bytes(sizes[i]);
    uint32_t state = 12345u + static_cast<uint32_t>(i);
    for (uint8_t& b : bytes) {
      state = state * 1103515245u + 12345u;
      b = static_cast<uint8_t>(state >> 16);
    }
    const std::string file = "file" + std::to_string(i);
    WriteBytes(folder / file, bytes);
    command += " -f " + file + " -w " + file;
  }
  command += " '" + name + "' > /dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return folder / name;
}

// The log of each command of a run, in order, each ending with its "-- done --" or
// "-- aborted --"; the connection reports are left out.
inline std::vector<std::vector<std::string>> CommandLogs(const ScriptedDesk& desk) {
  std::vector<std::vector<std::string>> commands;
  std::vector<std::string> current;
  bool connected = false;
  for (const std::string& line : desk.fullLogTexts()) {
    if (line == "Welcome Diskwright user") {
      connected = true;
      current.clear();
      continue;
    }
    if (!connected) continue;
    current.push_back(line);
    if (line == "-- done --" || line == "-- aborted --") {
      commands.push_back(current);
      current.clear();
    }
  }
  return commands;
}

}  // namespace dw::tooltest
