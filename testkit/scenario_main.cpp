// Runs a scenario file against the virtual bus and prints what the program showed.
//   diskwright_scenario [--workdir DIR] SCENARIO

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "testkit/scenario.h"

namespace fs = std::filesystem;

namespace {

using Snapshot = std::map<std::string, std::pair<uintmax_t, fs::file_time_type>>;

Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot files;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    files[fs::relative(entry.path(), folder, ec).string()] = {entry.file_size(ec),
                                                              entry.last_write_time(ec)};
  }
  return files;
}

// The program loads drive code from its current folder. The virtual bus's own drive-code files
// lie next to the runner; a work folder without them gets copies, one with drive code of its
// own keeps it.
void ProvideDriveCode(const fs::path& runnerFolder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(runnerFolder, ec)) {
    if (entry.path().extension() != ".h65") continue;
    const fs::path name = entry.path().filename();
    if (!fs::exists(name, ec)) fs::copy_file(entry.path(), name, ec);
  }
}

}  // namespace

int main(int argc, char** argv) {
  fs::path workdir = fs::current_path();
  const fs::path runnerFolder = fs::absolute(argv[0]).parent_path();
  std::string scenarioPath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--workdir" && i + 1 < argc) {
      workdir = argv[++i];
    } else {
      scenarioPath = arg;
    }
  }
  if (scenarioPath.empty()) {
    std::cerr << "usage: diskwright_scenario [--workdir DIR] SCENARIO\n";
    return 2;
  }
  std::ifstream file(scenarioPath);
  if (!file) {
    std::cerr << "cannot read " << scenarioPath << "\n";
    return 2;
  }
  std::stringstream text;
  text << file.rdbuf();

  dw::Scenario scenario;
  std::string error;
  if (!dw::ParseScenario(text.str(), &scenario, &error)) {
    std::cerr << scenarioPath << ": " << error << "\n";
    return 2;
  }
  std::error_code ec;
  fs::current_path(workdir, ec);
  if (ec) {
    std::cerr << "cannot enter " << workdir << ": " << ec.message() << "\n";
    return 2;
  }
  ProvideDriveCode(runnerFolder);
  Snapshot before = TakeSnapshot(".");
  try {
    if (!dw::RunScenario(scenario, std::cout, &error)) {
      std::cerr << scenarioPath << ": " << error << "\n";
      return 2;
    }
  } catch (const std::exception& e) {
    std::cerr << scenarioPath << ": " << e.what() << "\n";
    return 2;
  }
  for (const auto& [name, stamp] : TakeSnapshot(".")) {
    auto old = before.find(name);
    if (old == before.end() || old->second != stamp) {
      std::cout << "WROTE " << name << " (" << stamp.first << " bytes)\n";
    }
  }
  return 0;
}
