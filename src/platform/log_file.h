#pragma once
// The kept log: every line the program logs, appended to a PC file as it is written, so that
// what went wrong is still there after the log pane was emptied (at every reconnection) or the
// program ended. Writing it never holds the program up; a failure is the caller's to tell.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/clock.h"

namespace dw {

class LogFile {
 public:
  // One file a day in the folder ("diskwright-2026-12-08.log"), which is made when needed.
  static LogFile Daily(std::string folder);
  // Every line into this one file.
  static LogFile Single(std::string path);

  // Appends the line (Latin-1 bytes, written as UTF-8) to the file for the time; the first
  // line of a run is preceded by "=== " and the date. false when the file could not be written,
  // with the reason in error().
  bool Append(const LocalTime& time, const std::string& line);
  // The file the lines of that day go to.
  std::string PathFor(const LocalTime& time) const;
  // The folder the files are in.
  std::string folder() const;
  const std::string& error() const { return error_; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  bool OpenFor(const std::string& path);

  std::string folder_;  // daily files; empty for a single file
  std::string single_;
  std::string openPath_;
  std::unique_ptr<std::FILE, Closer> file_;
  bool runStarted_ = false;
  std::string error_;
};

// The platform's usual folder for a user's program data, with the program's own folder in it:
// $XDG_DATA_HOME/diskwright or ~/.local/share/diskwright on Linux, %LOCALAPPDATA%\Diskwright
// on Windows. Empty when the system names no home for the user.
std::string UserDataFolder();

}  // namespace dw
