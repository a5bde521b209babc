#pragma once
// A call of diskwright-cli as typed: the global options, the command, its arguments and its
// options, checked against the table of commands.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/link_ports.h"

namespace dw::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
// The drive reported an error, a verify failed, or the command refused or could not do its work.
inline constexpr int kExitDriveError = 1;
inline constexpr int kExitWrongCall = 2;
inline constexpr int kExitLinkFailed = 3;  // no adapter or drive, a timeout, or Ctrl+C

struct Call {
  std::string port;  // empty: the window's discovery
  int drive = 0;     // 0: the first drive found
  bool quiet = false;
  bool virtualTime = false;  // tests only: the virtual bus in virtual time
  std::vector<DiskChange> diskChanges;
  std::vector<std::string> busFaults;  // tests only: faults on the virtual bus from the start
  std::string command;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> options;  // "--40" -> "", "--format" -> "yes"
  bool help = false;                           // --help or -h, for the program or the command
  bool version = false;                        // --version
  std::string logPath;                         // --log: every log line also into this file

  bool Has(const std::string& option) const { return options.count(option) > 0; }
  std::string Option(const std::string& option) const {
    auto found = options.find(option);
    return found == options.end() ? std::string() : found->second;
  }
};

// Reads the command line; on a wrong call returns nullopt with one line saying what is wrong.
std::optional<Call> ParseCall(int argc, const char* const* argv, std::string* error);

// The usage of the program (command empty) or of one command.
std::string UsageText(const std::string& command);

// The program's name and version.
std::string VersionText();

// Whether the call writes to the disk (put, cmd, restore, format): a virtual disk is then written
// back to its image file, as a real disk keeps what was written.
bool WritesTheDisk(const Call& call);

}  // namespace dw::cli
