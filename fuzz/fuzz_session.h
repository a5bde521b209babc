#pragma once
// The whole program headless for one fuzz run: a fresh Program on a scripted desk and a virtual
// clock, so that timeouts cost no real time, with its link port on COM0.

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "core/program.h"
#include "fuzz/fuzz_ports.h"
#include "testkit/scripted_desk.h"

namespace dw::fuzz {

struct Session {
  explicit Session(std::function<std::unique_ptr<SerialPort>()> makePort = {});

  VirtualClock clock;
  ScriptedDesk desk{clock};
  SinglePortOpener ports;
  Program program{desk, clock, ports};
};

// Runs a part of the program; the program ending itself (no adapter, the window closed after the
// virtual hour) ends the run normally.
void RunToEnd(const std::function<void()>& part);

// The program reads its drive-code files from the current folder. A run works in that folder
// and goes back afterwards, where libFuzzer reads and writes its corpus by relative paths.
class InFolder {
 public:
  explicit InFolder(const std::string& folder);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path before_;
};

// The folder with the virtual drives' drive-code files.
std::string DriveCodeFolder();

// A folder of this fuzz process for the files a run writes (images, drive code).
const std::string& ScratchFolder();

// Writes the bytes to the file, replacing it.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace dw::fuzz
