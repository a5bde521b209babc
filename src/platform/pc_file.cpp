#include "platform/pc_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/staged_file.h"

namespace dw {

namespace fs = std::filesystem;

PcFile PcFile::OpenForReading(const std::string& path) {
  PcFile file;
  file.file_.reset(std::fopen(path.c_str(), "rb"));
  return file;
}

PcFile PcFile::Create(const std::string& path) {
  PcFile file;
  file.file_.reset(std::fopen(path.c_str(), "wb"));
  return file;
}

bool PcFile::Append(std::span<const uint8_t> bytes) {
  if (!file_) return false;
  if (bytes.empty()) return true;
  size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
  // Flushed at once: a full disk shows up at the block that did not fit, not at the close.
  return written == bytes.size() && std::fflush(file_.get()) == 0;
}

size_t PcFile::Read(std::span<uint8_t> buffer) {
  if (!file_ || buffer.empty()) return 0;
  return std::fread(buffer.data(), 1, buffer.size(), file_.get());
}

bool PcFile::ReadFailed() const {
  return file_ && std::ferror(file_.get()) != 0;
}

bool PcFile::Close() {
  if (!file_) return false;
  std::FILE* file = file_.release();
  bool clean = std::ferror(file) == 0;
  return std::fclose(file) == 0 && clean;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  // A staging name of its own, so that two writes to one target never share a file.
  static int serial = 0;
  const std::string staging = path + ".part" + std::to_string(serial++) + "-" +
                              std::to_string(reinterpret_cast<uintptr_t>(&bytes) & 0xFFFF);
  StagedFile file(path, staging);
  return file.Append(bytes) && file.Commit();
}

int64_t PcFileSize(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return 0;
  auto size = fs::file_size(path, error);
  return error ? 0 : static_cast<int64_t>(size);
}

bool PcPathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool PcFolderTakesFiles(const std::string& folder, std::string* reason) {
  const fs::path base = folder.empty() ? fs::path(".") : fs::path(folder);
  std::error_code error;
  if (!fs::is_directory(base, error)) {
    *reason = "no such folder";
    return false;
  }
  fs::path probe;
  for (int serial = 0; serial < 100; ++serial) {
    probe = base / (".diskwright-probe-" + std::to_string(serial));
    if (!fs::exists(fs::symlink_status(probe, error))) break;
  }
  std::FILE* file = std::fopen(probe.string().c_str(), "wb");
  if (file == nullptr) {
    *reason = std::strerror(errno);
    return false;
  }
  std::fclose(file);
  fs::remove(probe, error);
  return true;
}

std::string FilePart(const std::string& path) {
  return fs::path(path).filename().string();
}

std::string FolderPart(const std::string& path) {
  return fs::path(path).parent_path().string();
}

std::string UpperExtension(const std::string& path) {
  std::string extension = fs::path(path).filename().extension().string();
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  return AsciiUpper(extension);
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace dw
