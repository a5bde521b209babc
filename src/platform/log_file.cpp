#include "platform/log_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/latin1.h"

namespace dw {

namespace fs = std::filesystem;

namespace {

std::string DateText(const LocalTime& time) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", time.year % 10000, time.month % 100,
                time.day % 100);
  return text;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

LogFile LogFile::Daily(std::string folder) {
  LogFile file;
  file.folder_ = std::move(folder);
  return file;
}

LogFile LogFile::Single(std::string path) {
  LogFile file;
  file.single_ = std::move(path);
  return file;
}

std::string LogFile::PathFor(const LocalTime& time) const {
  if (folder_.empty()) return single_;
  return (fs::path(folder_) / ("diskwright-" + DateText(time) + ".log")).string();
}

std::string LogFile::folder() const {
  if (!folder_.empty()) return folder_;
  std::error_code error;
  const fs::path whole = fs::absolute(fs::path(single_), error);
  return (error ? fs::path(single_) : whole).parent_path().string();
}

bool LogFile::OpenFor(const std::string& path) {
  if (file_ && openPath_ == path) return true;
  file_.reset();
  openPath_.clear();
  if (path.empty()) {
    error_ = "no folder for it: the system names no home for this user";
    return false;
  }
  std::error_code made;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty()) fs::create_directories(folder, made);
  file_.reset(std::fopen(path.c_str(), "ab"));
  if (!file_) {
    error_ = path + ": " + std::strerror(errno);
    return false;
  }
  openPath_ = path;
  return true;
}

bool LogFile::Append(const LocalTime& time, const std::string& line) {
  const std::string path = PathFor(time);
  if (!OpenFor(path)) return false;
  std::string text;
  // A run's lines follow the date they start on, apart from an earlier run's.
  if (!runStarted_) text = "=== " + DateText(time) + " ===\n";
  text += Latin1ToUtf8(line) + "\n";
  // Pushed out at once: the lines before a crash or a pulled plug are the ones worth having.
  if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size() ||
      std::fflush(file_.get()) != 0) {
    error_ = path + ": " + std::strerror(errno);
    file_.reset();
    openPath_.clear();
    return false;
  }
  runStarted_ = true;
  return true;
}

std::string UserDataFolder() {
#ifdef _WIN32
  const std::string local = Environment("LOCALAPPDATA");
  return local.empty() ? std::string() : (fs::path(local) / "Diskwright").string();
#else
  const std::string data = Environment("XDG_DATA_HOME");
  // The XDG rule: a relative path there is to be ignored.
  if (!data.empty() && fs::path(data).is_absolute())
    return (fs::path(data) / "diskwright").string();
  const std::string home = Environment("HOME");
  return home.empty() ? std::string() : (fs::path(home) / ".local/share/diskwright").string();
#endif
}

}  // namespace dw
